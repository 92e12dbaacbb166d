#pragma once
// "edit": a text element the user types into, with a blinking caret. One edit field in the
// program has the input focus at a time (the application keeps it); a press on a field
// gives it the focus.

#include <string>

#include "render/pixel.h"
#include "shell/application_listener.h"
#include "ui/text_element.h"

namespace vistrel {

class EditField;

class EditListener {
public:
    virtual ~EditListener() = default;
    // The field's text changed.
    virtual void edit_changed(EditField& field) = 0;
};

class EditField : public TextElement, public TextInputField {
public:
    explicit EditField(Element* parent);
    ~EditField() override;
    void load(Properties& properties, NodeHandle node) override;
    void on_visibility_changed(bool visible) override;
    void animate(double seconds) override;
    void draw(Surface& surface, Point origin) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    bool on_text(const std::u16string& text) override;
    // A new text puts the caret behind it.
    void set_text(const std::u16string& text) override;

    // --- The text-input bridge ---
    std::u16string text() const override { return TextElement::text(); }
    Rect input_rect() const override { return rect(); }
    bool multi_line() const override { return style().wrap; }

    // --- Edit operations ---
    bool has_focus() const;
    // Takes the input focus (or gives it up).
    void focus();
    void unfocus();
    size_t caret() const { return m_caret; }
    void set_caret(size_t position);
    // With the caret off it does not blink (a native control shows its own).
    bool caret_off() const { return m_caret_off; }
    void set_caret_off(bool off);
    bool caret_phase() const { return m_caret_phase; }
    double caret_timer() const { return m_caret_timer; }
    int caret_width() const { return m_caret_width; }
    Colour background_color() const { return m_background; }
    void set_listener(EditListener* listener) { m_listener = listener; }

    // The field with the focus when there is no application.
    static EditField* focused_without_application();

private:
    void reset_caret();
    void keep_caret_in_view();
    void changed();
    void move_line(int direction);

    Colour m_background{0, 0, 0, 255};
    size_t m_caret = 0;
    double m_caret_timer = 1.0;
    bool m_caret_phase = false;
    bool m_caret_off = false;
    int m_caret_width = 1;
    EditListener* m_listener = nullptr;
};

}  // namespace vistrel
