// The items of a list: made through the source as they come into the window, bound, given
// their state marks, and thrown away as they leave it.

#include "ui/vlist.h"

#include <algorithm>
#include <cmath>

#include "ui/container.h"

namespace vistrel {

namespace {

// A bound on the items alive at once, so that a source of empty items cannot make the
// window grow without end.
constexpr size_t kMaxLiveItems = 4096;
// A bound on the elements of the live items together, so that items a skin makes large
// cannot multiply into millions of elements (a real screen shows some thousands).
constexpr int64_t kMaxLiveElements = 1 << 16;

int64_t elements_in(const Element& element) {
    int64_t count = 1;
    for (const auto& child : element.children())
        count += elements_in(*child);
    return count;
}

}  // namespace

Element* VList::live_element(int i) const {
    return i >= 0 && i < live_count() ? m_items[static_cast<size_t>(i)].element.get() : nullptr;
}

int VList::live_index(int i) const {
    return i >= 0 && i < live_count() ? m_items[static_cast<size_t>(i)].index : -1;
}

double VList::live_height(int i) const {
    return i >= 0 && i < live_count() ? m_items[static_cast<size_t>(i)].height : 0;
}

int VList::pressed_index() const {
    for (const Item& item : m_items)
        if (item.element.get() == m_pressed) return item.index;
    return -2;
}

VList::Item* VList::find_item(const Element* element) {
    if (!element) return nullptr;
    for (Item& item : m_items)
        if (item.element.get() == element) return &item;
    return nullptr;
}

double VList::item_top(const Item& item) const {
    double top = m_offset;
    for (const Item& i : m_items) {
        if (&i == &item) break;
        top += i.height;
    }
    return top;
}

int VList::live_at(Point point) const {
    if (point.x < x() || point.x >= x() + width()) return -1;
    const double local = point.y - y();
    double top = m_offset;
    for (size_t i = 0; i < m_items.size(); ++i) {
        const double h = m_items[i].height;
        if (local >= top && local < top + h) return static_cast<int>(i);
        top += h;
    }
    return -1;
}

PointerEvent VList::to_item(const PointerEvent& event, const Item& item) const {
    PointerEvent local = event;
    local.y = event.y - y() - static_cast<int>(std::lround(item_top(item)));
    return local;
}

void VList::lay_out_item(Item& item) {
    Element& e = *item.element;
    e.set_x_extent(x(), width());
    e.set_y_extent(0, std::max(e.extent_y().preferred, 0));
}

bool VList::make_item(int index, Item& out) {
    if (!m_source) return false;
    std::unique_ptr<Element> element = m_source->create_item(*this, index);
    if (!element) return false;
    out.element = std::move(element);
    out.elements = elements_in(*out.element);
    out.index = index;
    out.pressed = false;
    if (auto* bound = dynamic_cast<ListItem*>(out.element.get())) bound->bind(*this, index, true);
    out.element->set_visible(true);
    lay_out_item(out);
    out.height = out.element->height();
    update_states(out);
    return true;
}

void VList::update_states(Item& item) {
    Element& e = *item.element;
    const bool pressed = item.element.get() == m_pressed && item.pressed;
    const bool selected = item.index >= 0 && item.index == m_selected;
    Element* normal = e.find_child(u"#vlist_normal");
    Element* shown_pressed = e.find_child(u"#vlist_pressed");
    Element* shown_selected = e.find_child(u"#vlist_selected");
    if (normal) normal->set_visible(!pressed && !selected);
    if (shown_pressed) shown_pressed->set_visible(pressed);
    if (shown_selected) shown_selected->set_visible(selected && !pressed);
}

void VList::discard(Item& item) {
    m_live_elements -= item.elements;
    item.elements = 0;
    if (item.element.get() == m_pressed) cancel_press();
    if (m_dispatch_depth > 0)
        m_graveyard.push_back(std::move(item.element));
    else
        item.element.reset();
}

void VList::cancel_press() {
    Element* pressed = m_pressed;
    if (!pressed) return;
    m_pressed = nullptr;
    Item* item = find_item(pressed);
    if (!item) return;
    if (auto* container = dynamic_cast<Container*>(pressed)) {
        DispatchScope scope(*this);
        container->cancel_capture();
    }
    if ((item = find_item(pressed))) {
        item->pressed = false;
        update_states(*item);
    }
    mark_dirty();
}

void VList::clear_items() {
    cancel_press();
    for (Item& item : m_items)
        discard(item);
    m_items.clear();
}

void VList::reset(int count) {
    clear_items();
    m_item_count = std::max(count, 0);
    m_above = -1;
    m_below = 0;
    m_offset = m_scroll_border_min;
    m_content_height = 0;
    m_velocity = 0;
    m_refill = true;
    fill_window();
    if (m_grow)
        invalidate_layout();
    else
        mark_dirty();
}

void VList::set_source(VListSource* source) {
    m_source = source;
    m_selected = -1;
    reset(m_item_count);
}

void VList::item_removed(int index) {
    if (index < 0 || index >= m_item_count) return;
    --m_item_count;
    for (Item& item : m_items) {
        if (item.index > index) {
            --item.index;
        } else if (item.index == index) {
            item.index = -1;
            if (item.element.get() == m_pressed) cancel_press();
            item.pressed = false;
        }
    }
    if (index < m_below) --m_below;
    if (index <= m_above) --m_above;
    if (m_selected == index)
        m_selected = -1;
    else if (m_selected > index)
        --m_selected;
    m_refill = true;
    mark_dirty();
}

void VList::rebind() {
    for (Item& item : m_items) {
        if (item.index < 0) continue;
        if (auto* bound = dynamic_cast<ListItem*>(item.element.get()))
            bound->bind(*this, item.index, true);
        lay_out_item(item);
        update_states(item);
    }
    mark_dirty();
}

bool VList::rebuild_item(int index) {
    if (index < 0 || index >= m_item_count) return false;
    for (Item& item : m_items) {
        if (item.index != index) continue;
        Item fresh;
        if (!make_item(index, fresh)) {
            item_removed(index);
            return true;
        }
        discard(item);
        item.element = std::move(fresh.element);
        item.elements = fresh.elements;
        m_live_elements += item.elements;
        item.pressed = false;
        item.reported = false;
        update_states(item);
        mark_dirty();
        return true;
    }
    return false;
}

bool VList::room_for_items() const {
    return m_items.size() < kMaxLiveItems && m_live_elements < kMaxLiveElements;
}

void VList::fill_window() {
    // Without a source there is nothing to fill with (and nothing is gone).
    if (!m_source) return;
    const double view = view_height();
    const auto fill_above = [&] {
        while (m_above >= 0 && m_offset > 0 && room_for_items()) {
            Item item;
            if (!make_item(m_above, item)) {
                item_removed(m_above);
                continue;
            }
            m_offset -= item.height;
            m_content_height += item.height;
            --m_above;
            m_live_elements += item.elements;
            m_items.push_front(std::move(item));
        }
    };
    fill_above();
    while (!m_items.empty() && m_items.front().height < -m_offset) {
        Item& first = m_items.front();
        m_offset += first.height;
        m_content_height -= first.height;
        if (first.index >= 0) m_above = first.index;
        discard(first);
        m_items.pop_front();
    }
    while (m_below < m_item_count && m_content_height + m_offset < view && room_for_items()) {
        Item item;
        if (!make_item(m_below, item)) {
            item_removed(m_below);
            continue;
        }
        m_content_height += item.height;
        ++m_below;
        m_live_elements += item.elements;
        m_items.push_back(std::move(item));
    }
    while (!m_items.empty() && m_content_height + m_offset - m_items.back().height > view) {
        Item& last = m_items.back();
        m_content_height -= last.height;
        if (last.index >= 0) m_below = last.index;
        discard(last);
        m_items.pop_back();
    }
    if (m_refill) {
        m_refill = false;
        // Content that ends above the bottom border moves down, bringing items from above.
        const double target = view - m_scroll_border_max;
        const double deficit = target - (m_offset + m_content_height);
        if (deficit > 0 && !m_items.empty()) {
            if (first_live()) {
                if (m_offset < m_scroll_border_min)
                    m_offset = std::min(m_offset + deficit, double(m_scroll_border_min));
            } else {
                m_offset += deficit;
                fill_above();
                if (first_live() && m_offset > m_scroll_border_min) m_offset = m_scroll_border_min;
            }
        }
    }
}

}  // namespace vistrel
