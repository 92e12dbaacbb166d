// The selection: set by screens, moved by keys, brought into view.

#include "ui/vlist.h"

#include <algorithm>

namespace vistrel {

void VList::set_selected(int index) {
    if (index == m_selected) return;
    m_selected = index;
    for (Item& item : m_items)
        update_states(item);
    mark_dirty();
}

int VList::first_in_view() const {
    double top = m_offset;
    for (const Item& item : m_items) {
        if (item.index >= 0 && top >= 0) return item.index;
        top += item.height;
    }
    return std::min(m_above + 1, m_item_count - 1);
}

void VList::move_selection(int step) {
    if (m_item_count <= 0) return;
    const auto selectable = [this](int i) {
        return !m_source || m_source->item_selectable(*this, i);
    };
    int target = -1;
    if (m_selected < 0 || m_selected >= m_item_count) {
        // The first item in view that can be selected, else the first after it.
        for (int i = first_in_view(); i < m_item_count && target < 0; ++i)
            if (selectable(i)) target = i;
    } else {
        // The next selectable item that way; at the end the selection stays.
        const int direction = step < 0 ? -1 : 1;
        for (int i = m_selected + step; i >= 0 && i < m_item_count; i += direction)
            if (selectable(i)) {
                target = i;
                break;
            }
        if (target < 0) target = m_selected;
    }
    if (target < 0) return;
    set_selected(target);
    scroll_to(target);
}

void VList::scroll_to(int index) {
    if (index < 0 || index >= m_item_count) return;
    m_velocity = 0;
    const double low = m_scroll_border_min;
    const double high = height() - m_scroll_border_max;
    const auto live_top = [&](double& top, double& h) {
        top = m_offset;
        for (const Item& item : m_items) {
            if (item.index == index) {
                h = item.height;
                return true;
            }
            top += item.height;
        }
        return false;
    };
    double top = 0;
    double h = 0;
    if (!live_top(top, h)) {
        // Far away: the window starts again at the item, which comes in from the side it
        // lies on (at the top going up, at the bottom going down).
        const bool from_below = !m_items.empty() && index >= m_below;
        clear_items();
        m_above = index - 1;
        m_below = index;
        m_content_height = 0;
        m_offset = low;
        fill_window();
        if (!live_top(top, h)) return;
        if (from_below) m_offset += high - (top + h);
    } else if (top < low) {
        m_offset += low - top;
    } else if (top + h > high) {
        m_offset -= std::min(top + h - high, top - low);
    }
    m_refill = true;
    fill_window();
    mark_dirty();
}

bool VList::on_key(const KeyEvent& event) {
    if (!m_key_control) return false;
    switch (event.code) {
        case key::Up:
        case key::Down:
            if (event.down) move_selection(event.code == key::Up ? -1 : 1);
            return true;
        case key::Enter:
            if (event.down) {
                m_enter_down = true;
                return true;
            }
            if (!m_enter_down) return false;
            m_enter_down = false;
            if (m_selected >= 0 && m_selected < m_item_count && m_source)
                m_source->item_clicked(*this, m_selected);
            return true;
        default:
            return false;
    }
}

}  // namespace vistrel
