#include "ui/button.h"

#include "ui/container.h"
#include "ui/text_style.h"

namespace vistrel {

namespace {

int g_live_buttons = 0;

// The first descendant whose id begins with "ptr", outside buttons of its own.
Element* find_pointer_node(const Element& element) {
    for (const auto& child : element.children()) {
        if (child->id().starts_with(u"ptr")) return child.get();
        if (dynamic_cast<Button*>(child.get())) continue;
        if (Element* found = find_pointer_node(*child)) return found;
    }
    return nullptr;
}

}  // namespace

Button::Button(Element* parent) : Element(parent) {
    ++g_live_buttons;
    take_input();
}

Button::~Button() {
    --g_live_buttons;
}

int Button::live_count() {
    return g_live_buttons;
}

void Button::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    m_normal = find_child(u"#normal");
    m_pressed = find_child(u"#pressed");
    m_disabled = find_child(u"#disabled");
    m_focus_mark = nullptr;
    set_focus_mark(find_pointer_node(*this));
    for (Element* state : {m_normal, m_pressed, m_disabled})
        if (state) state->set_observer(nullptr);
    const std::u16string_view key_name = properties.get_string(node, u"bind_key");
    m_bind_key = key_name.empty() ? key::None : key_from_name(key_name).value_or(key::None);
    m_text.clear();
    set_text(load_text(properties, node));
    update_states();
}

void Button::set_text(const std::u16string& text) {
    if (text == m_text) return;
    m_text = text;
    set_text_by_id(u"#text", text);
}

Element* Button::shown_state() const {
    Element* chosen = nullptr;
    if (!effectively_enabled())
        chosen = m_disabled;
    else if (pressed())
        chosen = m_pressed;
    return chosen ? chosen : m_normal;
}

void Button::update_states() {
    Element* chosen = shown_state();
    for (Element* state : {m_normal, m_pressed, m_disabled})
        if (state) state->set_visible(state == chosen);
}

void Button::on_enabled_changed(bool enabled) {
    Element::on_enabled_changed(enabled);
    if (!enabled) drop_press();
    update_states();
}

void Button::on_visibility_changed(bool visible) {
    Element::on_visibility_changed(visible);
    if (!visible) drop_press();
}

void Button::drop_press() {
    if (!m_pointer_down && !m_key_down) return;
    const bool was = pressed();
    m_pointer_down = false;
    m_key_down = false;
    press_changed(was, true, m_last_pos);
}

void Button::set_held(bool held) {
    const bool was = pressed();
    m_held = held;
    if (was != pressed()) update_states();
}

void Button::press_changed(bool was, bool cancelled, Point position) {
    if (was != pressed()) {
        if (m_listener)
            m_listener->press_changed(*this, {position, cancelled || !effectively_enabled()});
        update_states();
    }
    if (was && !pressed() && effectively_enabled() && !cancelled && hit_test(position) &&
        m_listener)
        m_listener->clicked(*this, {position, false});
}

bool Button::on_pointer_button(const PointerEvent& event) {
    const bool was = pressed();
    m_pointer_down = event.pressed;
    m_last_pos = {event.x, event.y};
    if (m_pointer_down && m_listener) {
        DragEvent drag{m_last_pos, {0, 0}, {0, 0}};
        m_listener->dragged(*this, drag);
    }
    press_changed(was, event.cancelled, m_last_pos);
    return true;
}

void Button::on_pointer_move(const PointerEvent& event) {
    if (!m_pointer_down) return;
    const Point position{event.x, event.y};
    DragEvent drag{position, {position.x - m_last_pos.x, position.y - m_last_pos.y}, {0, 0}};
    if (m_listener) m_listener->dragged(*this, drag);
    m_last_pos = {position.x - drag.consumed.x, position.y - drag.consumed.y};
}

bool Button::on_key(const KeyEvent& event) {
    if (m_bind_key == key::None || event.code != m_bind_key) return false;
    press_by_key(event.down);
    return true;
}

void Button::press_by_key(bool down) {
    const bool was = pressed();
    m_key_down = down;
    const Point centre{static_cast<int>(x() + width() / 2.0),
                       static_cast<int>(y() + height() / 2.0)};
    press_changed(was, false, centre);
}

void Button::set_focus_mark(Element* mark) {
    if (m_focus_mark && m_focus_mark != mark) m_focus_mark->set_visible(false);
    m_focus_mark = mark;
    if (m_focus_mark) m_focus_mark->set_visible(m_focused);
}

void Button::set_focused(bool focused) {
    if (focused == m_focused) return;
    m_focused = focused;
    if (m_focus_mark) m_focus_mark->set_visible(focused);
    mark_dirty();
}

}  // namespace vistrel
