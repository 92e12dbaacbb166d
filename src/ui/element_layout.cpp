// The element's part in layout: its measure per axis, the placement of its children by their
// anchor modes, the setters the parent calls and the invalidation that starts it over.

#include "ui/element.h"

#include <algorithm>

namespace vistrel {

void Element::layout_x() {
    place_children(Axis::X);
}

void Element::layout_y() {
    place_children(Axis::Y);
}

void Element::measure_x(Extent& extent) {
    measure_axis(Axis::X, extent);
}

bool Element::layout_hook_x() {
    return false;
}

void Element::measure_y(Extent& extent) {
    measure_axis(Axis::Y, extent);
}

bool Element::layout_hook_y() {
    return false;
}

void Element::apply_extent(Axis axis, int position, int length) {
    const int i = index(axis);
    int& pos = i == 0 ? m_x : m_y;
    int& len = i == 0 ? m_width : m_height;
    if (pos == position && len == length && !m_layout_pending) return;
    pos = position;
    len = length;
    // The x pass leaves the flag set so that the y pass revisits this element: its height
    // may depend on its width.
    m_layout_pending = axis == Axis::X;
    m_dirty = true;
    if (m_observer) m_observer->on_extent_changed(*this, axis, length);
    if (axis == Axis::X)
        layout_x();
    else
        layout_y();
}

void Element::set_x_extent(int x, int width) {
    apply_extent(Axis::X, x, width);
}

void Element::set_y_extent(int y, int height) {
    apply_extent(Axis::Y, y, height);
}

void Element::set_extent(Axis axis, int position, int length) {
    apply_extent(axis, position, length);
}

Extent Element::extent_x() {
    if (!m_extent_valid[0]) {
        Extent e;
        measure_x(e);
        m_extent[0] = e;
        m_extent_valid[0] = true;
    }
    return m_extent[0];
}

Extent Element::extent_y() {
    if (!m_extent_valid[1]) {
        Extent e;
        measure_y(e);
        m_extent[1] = e;
        m_extent_valid[1] = true;
    }
    return m_extent[1];
}

void Element::invalidate_layout() {
    for (Element* e = this; e; e = e->m_parent) {
        e->m_extent_valid[0] = e->m_extent_valid[1] = false;
        e->m_layout_pending = true;
        e->m_dirty = true;
    }
}

void Element::invalidate_height() {
    for (Element* e = this; e; e = e->m_parent) {
        e->m_extent_valid[1] = false;
        e->m_dirty = true;
    }
}

void Element::mark_dirty() {
    for (Element* e = this; e; e = e->m_parent)
        e->m_dirty = true;
}

int Element::outer_length(Element& child, Axis axis, int length) {
    return anchor_outer_length(child.anchor(axis), length, along(child.m_border_min, axis),
                               along(child.m_border_max, axis));
}

int Element::border_total(Axis axis) const {
    return anchor_border_total(anchor(axis), along(m_border_min, axis), along(m_border_max, axis));
}

void Element::measure_axis(Axis axis, Extent& extent) {
    const int design = along(m_design_size, axis);
    extent.preferred = std::max(extent.preferred, design);
    extent.minimum = std::max(extent.minimum, design);
    for (size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        const Extent c = child.extent(axis);
        const int o = outer_length(child, axis, c.preferred);
        extent.preferred = std::max(extent.preferred, o);
        extent.minimum = std::max(extent.minimum, c.minimum + o - c.preferred);
    }
}

void Element::place_in(Element& child, Axis axis, int start, int length, int preferred) {
    const AnchorMode mode = child.anchor(axis);
    const int bmin = along(child.m_border_min, axis);
    const int bmax = along(child.m_border_max, axis);
    const int size = anchor_size(mode, preferred, length, bmin, bmax);
    const int offset = anchor_offset(mode, size, length, bmin, bmax);
    child.apply_extent(axis, start + offset, size);
}

void Element::place_children(Axis axis) {
    const int start = position_on(axis);
    const int length = length_on(axis);
    for (size_t i = 0; i < m_children.size(); ++i) {
        Element& child = *m_children[i];
        place_in(child, axis, start, length, child.extent(axis).preferred);
    }
}

void Element::set_borders(Point border_min, Point border_max) {
    m_border_min = border_min;
    m_border_max = border_max;
    invalidate_layout();
}

void Element::set_design_size(Point size) {
    m_design_size = size;
    invalidate_layout();
}
}  // namespace vistrel
