#pragma once
// "checkbox": one state button per state ("#state_0", "#state_1", ...), of which only the
// current one is shown; clicking it moves to the next state unless a listener decides.
// The pointer nodes "ptr_state_0", "ptr_state_1", ... are the focus marks of the state
// buttons; the key focus follows the shown state button.

#include <string>
#include <vector>

#include "ui/button.h"
#include "ui/element.h"

namespace vistrel {

class Checkbox;

class CheckboxListener {
public:
    virtual ~CheckboxListener() = default;
    // The shown state button was clicked; the listener decides what happens.
    virtual void clicked(Checkbox& checkbox, const ButtonEvent& event) = 0;
    virtual void state_changed(Checkbox& checkbox, bool value) = 0;
};

class Checkbox : public Element, private ButtonListener {
public:
    explicit Checkbox(Element* parent) : Element(parent) {}
    // Throws dovado::NodeNotFound when a state button is missing.
    void load(Properties& properties, NodeHandle node) override;

    int states() const { return static_cast<int>(m_buttons.size()); }
    int state() const { return m_state; }
    // Shows state `index`; `value` is passed on to the listener.
    void set_state(int index, bool value);
    void next_state();
    void set_listener(CheckboxListener* listener) { m_listener = listener; }
    const std::u16string& text() const { return m_text; }
    std::u16string_view shown_text() const override { return m_text; }
    Button* state_button(int index) const;

private:
    bool clicked(Button& button, const ButtonEvent& event) override;

    std::vector<Button*> m_buttons;
    int m_state = 0;
    std::u16string m_text;
    CheckboxListener* m_listener = nullptr;
};

}  // namespace vistrel
