#include "ui/image_element.h"

#include <algorithm>

namespace vistrel {

ImageElement::ImageElement(Element* parent) : Element(parent), m_op(op_for_alpha(-1)) {}

void ImageElement::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_picture = properties.get_picture(node, u"src");
    m_op = op_for_alpha(properties.get_integer(node, u"alpha", -1));
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
}

void ImageElement::set_picture(const PictureReference& picture) {
    const bool size_changed = picture.natural_size() != m_picture.natural_size();
    m_picture = picture;
    if (m_grow && size_changed)
        invalidate_layout();
    else
        mark_dirty();
}

void ImageElement::set_alpha(int alpha) {
    m_op = op_for_alpha(alpha);
    mark_dirty();
}

void ImageElement::set_grow(bool grow) {
    if (grow == m_grow) return;
    m_grow = grow;
    invalidate_layout();
}

void ImageElement::draw(Surface& surface, Point origin) {
    m_picture.draw(surface, origin, size(), *m_op);
    Element::draw(surface, origin);
}

void ImageElement::measure_x(Extent& extent) {
    Element::measure_x(extent);
    if (!m_grow) return;
    const int w = m_picture.natural_size().w;
    extent.preferred = std::max(extent.preferred, w);
    extent.minimum = std::max(extent.minimum, w);
}

void ImageElement::measure_y(Extent& extent) {
    Element::measure_y(extent);
    if (!m_grow) return;
    const int h = m_picture.natural_size().h;
    extent.preferred = std::max(extent.preferred, h);
    extent.minimum = std::max(extent.minimum, h);
}

}  // namespace vistrel
