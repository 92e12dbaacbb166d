#include "ui/vlist.h"

#include <algorithm>
#include <cmath>

#include "platform/trace.h"
#include "render/surface.h"
#include "ui/container.h"

namespace vistrel {

namespace {

// A bound on the items alive at once, so that a source of empty items cannot make the
// window grow without end.
constexpr size_t kMaxLiveItems = 4096;
constexpr double kSpringSpeed = 400;

double move_toward(double value, double target, double step) {
    if (value < target) return std::min(value + step, target);
    return std::max(value - step, target);
}

}  // namespace

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

// --- Items ---

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
        item.pressed = false;
        item.reported = false;
        update_states(item);
        mark_dirty();
        return true;
    }
    return false;
}

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

void VList::set_offset(double offset) {
    if (!std::isfinite(offset) || offset == m_offset) return;
    m_offset = offset;
    fill_window();
    mark_dirty();
}

// --- The window ---

int VList::view_height() const {
    if (m_grow && root()) return root()->height();
    return height();
}

double VList::bottom_gap() const {
    return (height() - m_scroll_border_max) - (m_offset + m_content_height);
}

void VList::fill_window() {
    // Without a source there is nothing to fill with (and nothing is gone).
    if (!m_source) return;
    const double view = view_height();
    const auto fill_above = [&] {
        while (m_above >= 0 && m_offset > 0 && m_items.size() < kMaxLiveItems) {
            Item item;
            if (!make_item(m_above, item)) {
                item_removed(m_above);
                continue;
            }
            m_offset -= item.height;
            m_content_height += item.height;
            --m_above;
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
    while (m_below < m_item_count && m_content_height + m_offset < view &&
           m_items.size() < kMaxLiveItems) {
        Item item;
        if (!make_item(m_below, item)) {
            item_removed(m_below);
            continue;
        }
        m_content_height += item.height;
        ++m_below;
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

// --- Motion ---

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

}  // namespace vistrel
