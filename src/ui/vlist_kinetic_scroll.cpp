// Scrolling by dragging and flicking: the frame's motion (item heights, drift, friction,
// braking past the ends, spring back) and the pointer that drives it.

#include "ui/vlist.h"

#include <algorithm>
#include <cmath>

#include "ui/container.h"

namespace vistrel {

namespace {

constexpr double kSpringSpeed = 400;

double move_toward(double value, double target, double step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

}  // namespace

void VList::pin_ends() {
    if (!m_grow) return;
    if (last_live() && m_offset < height() - m_scroll_border_max - m_content_height) {
        m_offset = height() - m_scroll_border_max - m_content_height;
        m_velocity = 0;
    }
    if (first_live() && m_offset > m_scroll_border_min) {
        m_offset = m_scroll_border_min;
        m_velocity = 0;
    }
}

void VList::animate(double dt) {
    Element::animate(dt);
    if (m_dispatch_depth == 0) m_graveyard.clear();
    const double old_offset = m_offset;
    const double old_content = m_content_height;

    const bool items_changed = animate_items(dt);
    drift(dt);
    apply_friction(dt);
    brake_past_ends(dt);
    spring_back(dt, old_offset);
    drop_press_left_behind();

    if (m_grow && m_content_height != old_content) invalidate_layout();
    if (effectively_visible() && (m_offset != old_offset || items_changed)) mark_dirty();
}

Element* VList::anchor_item() const {
    if (m_pressed) return m_pressed;
    Element* anchor = nullptr;
    for (const Item& item : m_items)
        if (item.index >= 0 && item.index == m_selected) anchor = item.element.get();
    if (!anchor && !m_items.empty()) anchor = m_items.front().element.get();
    return anchor;
}

bool VList::animate_items(double dt) {
    bool changed = false;
    // Shown heights follow the real ones; removed items shrink away. The anchor item stays
    // in place: what changes above it moves the content, and its own change half of that.
    Element* anchor = anchor_item();
    bool above_anchor = true;
    for (Item& item : m_items) {
        Element& e = *item.element;
        e.animate(dt);
        if (e.layout_pending()) lay_out_item(item);
        if (e.dirty() && !item.reported) {
            changed = true;
            item.reported = true;
        }
        const double target = item.index < 0 ? 0.0 : double(e.height());
        const bool is_anchor = item.element.get() == anchor;
        if (is_anchor) above_anchor = false;
        if (item.height == target) continue;
        const double shown = move_toward(item.height, target, kHeightSpeed * dt);
        const double delta = shown - item.height;
        item.height = shown;
        changed = true;
        if (is_anchor)
            m_offset -= delta / 2;
        else if (above_anchor)
            m_offset -= delta;
    }
    for (auto it = m_items.begin(); it != m_items.end();) {
        if (it->index < 0 && it->height <= 0) {
            discard(*it);
            it = m_items.erase(it);
        } else {
            ++it;
        }
    }
    m_content_height = 0;
    for (const Item& item : m_items)
        m_content_height += item.height;
    return changed;
}

void VList::drift(double dt) {
    m_offset += m_velocity * dt;
    pin_ends();
    fill_window();
    if (m_items.empty()) {
        m_velocity = 0;
        m_offset = m_scroll_border_min;
    }
}

void VList::apply_friction(double dt) {
    // Five times stronger while the pointer holds the content.
    double friction = 2 * std::abs(m_velocity) + 9;
    if (m_pointer_down && !m_pressed) friction *= 5;
    if (m_velocity < 0)
        m_velocity = std::min(m_velocity + friction * dt, 0.0);
    else if (m_velocity > 0)
        m_velocity = std::max(m_velocity - friction * dt, 0.0);
}

void VList::brake_past_ends(double dt) {
    const double gap_below = bottom_gap();
    if (m_velocity < 0 && last_live() && gap_below > 0)
        m_velocity = std::min(m_velocity + (gap_below + 1) * dt * 50, 0.0);
    const double gap_above = m_offset - m_scroll_border_min;
    if (m_velocity > 0 && first_live() && gap_above > 0)
        m_velocity = std::max(m_velocity - (gap_above + 1) * dt * 50, 0.0);
}

void VList::spring_back(double dt, double old_offset) {
    // Only once the content has come to rest and the pointer has let go.
    if (m_pointer_down || m_velocity != 0 || m_items.empty()) return;
    if (first_live() && m_offset >= m_scroll_border_min) {
        m_offset = move_toward(m_offset, m_scroll_border_min, kSpringSpeed * dt);
    } else if (last_live() && bottom_gap() > 0) {
        double target = height() - m_scroll_border_max - m_content_height;
        // Content shorter than the list rests at the top, not at the bottom.
        if (first_live()) target = std::min(target, double(m_scroll_border_min));
        m_offset = move_toward(m_offset, target, kSpringSpeed * dt);
    }
    if (m_offset != old_offset) fill_window();
}

void VList::drop_press_left_behind() {
    if (!m_pointer_down || !m_pressed) return;
    const int under = live_at(m_last_pointer);
    if (under < 0 || m_items[static_cast<size_t>(under)].element.get() != m_pressed) cancel_press();
}

// --- Pointer ---

bool VList::on_pointer_button(const PointerEvent& event) {
    DispatchScope scope(*this);
    const Point position{event.x, event.y};
    if (event.pressed && !event.cancelled) {
        cancel_press();
        m_pointer_down = true;
        m_last_pointer = position;
        m_tracker.reset();
        m_tracker.add(event.time, position);
        if (m_velocity != 0) return true;
        const int at = live_at(position);
        if (at < 0) return true;
        Item& item = m_items[static_cast<size_t>(at)];
        Element* element = item.element.get();
        m_pressed = element;
        const bool taken = element->on_pointer_button(to_item(event, item));
        if (Item* still = find_item(element); still && m_pressed == element && !taken) {
            still->pressed = true;
            update_states(*still);
        }
        mark_dirty();
        return true;
    }
    if (!m_pointer_down) return false;
    m_pointer_down = false;
    if (event.cancelled) {
        cancel_press();
        return true;
    }
    if (!(position == m_tracker.last_position())) m_tracker.add(event.time, position);
    if (Element* pressed = m_pressed) {
        Item* item = find_item(pressed);
        const int under = live_at(position);
        if (!item || under < 0 || m_items[static_cast<size_t>(under)].element.get() != pressed) {
            cancel_press();
            return true;
        }
        auto* container = dynamic_cast<Container*>(pressed);
        if (!container || container->captured().empty()) {
            const int index = item->index;
            item->pressed = false;
            m_pressed = nullptr;
            update_states(*item);
            mark_dirty();
            if (index >= 0 && m_source) m_source->item_clicked(*this, index);
        } else {
            const PointerEvent local = to_item(event, *item);
            m_pressed = nullptr;
            item->pressed = false;
            update_states(*item);
            mark_dirty();
            pressed->on_pointer_button(local);
        }
        return true;
    }
    double velocity = std::clamp(m_tracker.velocity_y(event.time), -kMaxVelocity, kMaxVelocity);
    if ((first_live() && m_offset > m_scroll_border_min) || (last_live() && bottom_gap() > 0))
        velocity = 0;
    m_velocity = velocity;
    return true;
}

void VList::on_pointer_move(const PointerEvent& event) {
    if (!m_pointer_down) return;
    DispatchScope scope(*this);
    const Point position{event.x, event.y};
    const int dy = position.y - m_last_pointer.y;
    const bool moved = !(position == m_last_pointer);
    m_last_pointer = position;
    m_tracker.add(event.time, position);
    if (!moved) return;
    cancel_press();
    if (dy == 0) return;
    double factor = 1;
    const double gap_above = m_offset - m_scroll_border_min;
    const double gap_below = bottom_gap();
    if (dy > 0 && first_live() && gap_above > 0)
        factor = std::max(0.0, 1 - 2 * gap_above / std::max(height(), 1));
    else if (dy < 0 && last_live() && gap_below > 0)
        factor = std::max(0.0, 1 - 2 * gap_below / std::max(height(), 1));
    m_offset += dy * factor;
    pin_ends();
    fill_window();
    mark_dirty();
}

void VList::scroll_by(double pixels) {
    if (!std::isfinite(pixels) || pixels == 0 || m_locked) return;
    m_velocity = 0;
    m_offset += std::clamp(pixels, -1e6, 1e6);
    fill_window();
    // The end of the list first, so that a list shorter than its window stays at the top.
    if (last_live() && bottom_gap() > 0) m_offset += bottom_gap();
    if (first_live() && m_offset > m_scroll_border_min) m_offset = m_scroll_border_min;
    fill_window();
    mark_dirty();
}

}  // namespace vistrel
