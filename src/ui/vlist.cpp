// The list's attributes, its layout and its drawing. The item pool, the kinetic scrolling
// and the key navigation live in vlist_item_pool.cpp, vlist_kinetic_scroll.cpp and
// vlist_key_navigation.cpp.

#include "ui/vlist.h"

#include <algorithm>
#include <cmath>

#include "platform/trace.h"
#include "render/surface.h"
#include "ui/container.h"

namespace vistrel {

VList::VList(Element* parent) : Element(parent) {
    take_input();
}

VList::~VList() {
    m_pressed = nullptr;
    m_items.clear();
    m_graveyard.clear();
}

void VList::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_scroll_border_min = properties.get_point(node, u"scroll_border_min").y;
    m_scroll_border_max = properties.get_point(node, u"scroll_border_max").y;
    m_locked = properties.get_integer(node, u"locked", 0) != 0;
    m_grow = properties.get_integer(node, u"grow", 0) != 0;
    reset(m_item_count);
}

void VList::set_scroll_borders(int border_min, int border_max) {
    m_scroll_border_min = border_min;
    m_scroll_border_max = border_max;
    reset(m_item_count);
    invalidate_layout();
}

void VList::set_grow(bool grow) {
    m_grow = grow;
    invalidate_layout();
}

void VList::set_offset(double offset) {
    if (!std::isfinite(offset) || offset == m_offset) return;
    m_offset = offset;
    fill_window();
    mark_dirty();
}

int VList::view_height() const {
    if (m_grow && root()) return root()->height();
    return height();
}

double VList::bottom_gap() const {
    return (height() - m_scroll_border_max) - (m_offset + m_content_height);
}

// --- Layout ---

void VList::layout_x() {
    Element::layout_x();
    for (Item& item : m_items) {
        item.element->invalidate_layout();
        lay_out_item(item);
    }
}

void VList::layout_y() {
    Element::layout_y();
    if (last_live() && height() < m_last_height) m_offset -= m_last_height - height();
    m_last_height = height();
    m_refill = true;
    fill_window();
}

void VList::measure_y(Extent& extent) {
    if (!m_grow) {
        Element::measure_y(extent);
        return;
    }
    const int borders = m_scroll_border_min + m_scroll_border_max;
    extent.preferred =
        std::max(extent.preferred, static_cast<int>(std::lround(m_content_height)) + borders);
    extent.minimum = std::max(extent.minimum, borders);
    trace() << "Desired size=" << extent.preferred << "\n";
}

void VList::on_visibility_changed(bool visible) {
    Element::on_visibility_changed(visible);
    for (Item& item : m_items)
        item.element->set_visible(visible);
}

// --- Drawing ---

void VList::draw(Surface& surface, Point origin) {
    Element::draw(surface, origin);
    ClipScope clip(surface, origin, size());
    if (surface.clip().empty()) return;
    const Rect bounds = surface.clip();
    double top = m_offset;
    for (Item& item : m_items) {
        const int item_y = origin.y + static_cast<int>(std::lround(top));
        const int shown = static_cast<int>(std::lround(item.height));
        top += item.height;
        if (item_y + shown <= bounds.top || shown <= 0) continue;
        if (item_y >= bounds.bottom) break;
        const Point at{origin.x + item.element->x() - x(), item_y};
        ClipScope item_clip(surface, at, {width(), shown});
        item.element->draw_child(surface, at);
        item.reported = false;
    }
}

}  // namespace vistrel
