#pragma once
// The kinds with nothing of their own beyond the base: a filled rectangle and a clipping
// group ("node" is the plain Element).

#include "render/pixel.h"
#include "ui/element.h"

namespace vistrel {

// "color": fills its rectangle with one colour (alpha ignored).
class ColorElement : public Element {
public:
    explicit ColorElement(Element* parent) : Element(parent) {}
    void load(Properties& properties, NodeHandle node) override;
    void draw(Surface& surface, Point origin) override;

    Colour color() const { return m_color; }
    void set_color(Colour color);

private:
    Colour m_color{0, 0, 0, 255};
};

// "clip": its children draw only inside its rectangle.
class ClipElement : public Element {
public:
    explicit ClipElement(Element* parent) : Element(parent) {}
    void draw(Surface& surface, Point origin) override;
};

}  // namespace vistrel
