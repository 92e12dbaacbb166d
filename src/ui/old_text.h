#pragma once
// "oldtext": a label drawn in one call of the text drawing, with the platform's alignment,
// word break and ellipsis flags.

#include <string>

#include "skin/font_rep.h"
#include "ui/element.h"
#include "ui/text_style.h"

namespace vistrel {

class OldTextElement : public Element {
public:
    explicit OldTextElement(Element* parent) : Element(parent) {}
    void load(Properties& properties, NodeHandle node) override;
    void set_text_by_id(std::u16string_view id, const std::u16string& text) override;
    void draw(Surface& surface, Point origin) override;
    void measure_x(Extent& extent) override;
    void measure_y(Extent& extent) override;

    const std::u16string& text() const { return m_text; }
    std::u16string_view shown_text() const override { return m_text; }
    // A new text re-measures the parent when the label grows with its text, else it is
    // only drawn again.
    virtual void set_text(const std::u16string& text);
    const TextStyle& style() const { return m_style; }
    void set_style(const TextStyle& style);
    // The text's size as measured by the text drawing (cached).
    Size text_size();
    // The text drawing flags for the label's style.
    uint32_t draw_flags() const;

private:
    TextStyle m_style;
    std::u16string m_text;
    Size m_text_size{-1, -1};
};

}  // namespace vistrel
