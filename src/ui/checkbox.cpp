#include "ui/checkbox.h"

#include <algorithm>
#include <string>

#include "skin/skin_errors.h"
#include "ui/container.h"
#include "ui/text_style.h"

namespace vistrel {

namespace {

// States beyond this many would need more state buttons than a skin node can hold.
constexpr int kMaxStates = 4096;

std::u16string state_id(int i) {
    const std::string digits = std::to_string(i);
    return u"#state_" + std::u16string(digits.begin(), digits.end());
}

}  // namespace

void Checkbox::load(Properties& properties, NodeHandle node) {
    Element::load(properties, node);
    const int states = std::clamp(properties.get_integer(node, u"states", 2), 1, kMaxStates);
    m_text = load_text(properties, node);
    m_buttons.clear();
    m_state = 0;
    for (int i = 0; i < states; ++i) {
        const std::u16string name = state_id(i);
        auto* button = dynamic_cast<Button*>(find_child(name));
        if (!button) throw dovado::NodeNotFound(id(), name);
        button->set_listener(this);
        if (Element* mark = find_child(u"ptr_" + name.substr(1))) button->set_focus_mark(mark);
        button->set_visible(i == m_state);
        m_buttons.push_back(button);
    }
    m_buttons[static_cast<size_t>(m_state)]->set_text(m_text);
}

Button* Checkbox::state_button(int index) const {
    if (index < 0 || index >= states()) return nullptr;
    return m_buttons[static_cast<size_t>(index)];
}

void Checkbox::set_state(int index, bool value) {
    if (index == m_state || index < 0 || index >= states()) return;
    Button* old = m_buttons[static_cast<size_t>(m_state)];
    const bool had_focus = old->focused();
    old->set_visible(false);
    m_state = index;
    Button* button = m_buttons[static_cast<size_t>(m_state)];
    button->set_text(m_text);
    button->set_visible(true);
    if (had_focus && root()) root()->set_focus(button);
    if (m_listener) m_listener->state_changed(*this, value);
}

void Checkbox::next_state() {
    if (states() == 0) return;
    set_state((m_state + 1) % states(), true);
}

bool Checkbox::clicked(Button& button, const ButtonEvent& event) {
    if (&button != state_button(m_state)) return false;
    if (m_listener)
        m_listener->clicked(*this, event);
    else
        next_state();
    return true;
}

}  // namespace vistrel
