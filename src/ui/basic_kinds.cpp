#include "ui/basic_kinds.h"

#include "render/span_op.h"

namespace vistrel {

void ColorElement::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_color = properties.get_color(node, u"color", Colour{0, 0, 0, 255});
}

void ColorElement::set_color(Colour color) {
    if (color == m_color) return;
    m_color = color;
    mark_dirty();
}

void ColorElement::draw(Surface& surface, Point origin) {
    surface.apply(origin, size(), FillSpan(to_pixel(m_color)));
    Element::draw(surface, origin);
}

void ClipElement::draw(Surface& surface, Point origin) {
    ClipScope clip(surface, origin, size());
    Element::draw(surface, origin);
}

}  // namespace vistrel
