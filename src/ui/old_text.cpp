#include "ui/old_text.h"

#include <algorithm>

#include "skin/text_draw.h"

namespace vistrel {

void OldTextElement::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_style.load(properties, node);
    m_text = load_text(properties, node);
    m_text_size = {-1, -1};
}

void OldTextElement::set_text_by_id(std::u16string_view id, const std::u16string& text) {
    if (id == this->id()) set_text(text);
    Element::set_text_by_id(id, text);
}

void OldTextElement::set_text(const std::u16string& text) {
    if (text == m_text) return;
    m_text = text;
    m_text_size = {-1, -1};
    if (m_style.grow)
        invalidate_layout();
    else
        mark_dirty();
}

void OldTextElement::set_style(const TextStyle& style) {
    m_style = style;
    m_text_size = {-1, -1};
    invalidate_layout();
}

Size OldTextElement::text_size() {
    if (m_text_size.w >= 0) return m_text_size;
    m_text_size = {0, 0};
    if (m_style.font && !m_text.empty()) {
        Surface none;
        Rect rect{0, 0, 1, 1};
        const int height = draw_text(none, *m_style.font, m_text, rect,
                                     kTextCalcRect | kTextNoPrefix | kTextVCenter, m_style.color);
        m_text_size = {std::max(rect.right, 0), std::max(height, 0)};
    }
    return m_text_size;
}

uint32_t OldTextElement::draw_flags() const {
    static constexpr uint32_t kHorizontal[] = {kTextLeft, kTextCenter, kTextRight, kTextLeft};
    static constexpr uint32_t kVertical[] = {kTextTop, kTextVCenter, kTextBottom};
    uint32_t flags =
        kHorizontal[static_cast<int>(m_style.halign)] | kVertical[static_cast<int>(m_style.valign)];
    flags |= kTextNoPrefix | (m_style.wrap ? kTextWordBreak : kTextSingleLine);
    flags |= kTextEndEllipsis | kTextWordEllipsis;
    return flags;
}

void OldTextElement::draw(Surface& surface, Point origin) {
    if (!m_text.empty() && m_style.font) {
        Rect rect{origin.x, origin.y, origin.x + width(), origin.y + height()};
        draw_text(surface, *m_style.font, m_text, rect, draw_flags(), m_style.color);
    }
    Element::draw(surface, origin);
}

void OldTextElement::measure_x(Extent& extent) {
    Element::measure_x(extent);
    if (m_style.grow) extent.preferred = std::max(extent.preferred, text_size().w);
}

void OldTextElement::measure_y(Extent& extent) {
    Element::measure_y(extent);
    if (!m_style.grow) return;
    const int h = text_size().h;
    extent.preferred = std::max(extent.preferred, h);
    extent.minimum = std::max(extent.minimum, h);
}

}  // namespace vistrel
