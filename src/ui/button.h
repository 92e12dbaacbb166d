#pragma once
// "button": shows its child "#normal", "#pressed" or "#disabled" as it is released,
// pressed or disabled, and reports clicks (a release inside it, or the release of its
// bound key) to a listener. It takes input from its root container.
//
// Its pointer node (the first descendant whose id begins with "ptr", such as "ptrBack") is
// its focus mark: hidden, and shown only while key navigation has put the key focus on the
// button (see `Container::move_focus`). Enter then presses and clicks it like its own key.

#include <string>

#include "shell/key_codes.h"
#include "ui/element.h"

namespace vistrel {

class Button;

struct ButtonEvent {
    Point position;
    // For press changes: the press ended by cancellation, or the button is disabled.
    bool cancelled = false;
};

struct DragEvent {
    Point position;
    Point movement;
    // Set by the listener: the part of the movement it used up.
    Point consumed;
};

class ButtonListener {
public:
    virtual ~ButtonListener() = default;
    virtual bool clicked(Button& button, const ButtonEvent& event) = 0;
    virtual void press_changed(Button& button, const ButtonEvent& event) {}
    virtual void dragged(Button& button, DragEvent& event) {}
};

class Button : public Element {
public:
    explicit Button(Element* parent);
    ~Button() override;
    void load(Properties& properties, NodeHandle node) override;
    // Hidden or disabled, the button lets go of its press (the release would never come).
    void on_enabled_changed(bool enabled) override;
    void on_visibility_changed(bool visible) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

    void set_listener(ButtonListener* listener) { m_listener = listener; }
    ButtonListener* listener() const { return m_listener; }
    const std::u16string& text() const { return m_text; }
    std::u16string_view shown_text() const override { return m_text; }
    // Shows the caption through a descendant "#text".
    void set_text(const std::u16string& text);
    KeyCode bind_key() const { return m_bind_key; }
    void set_bind_key(KeyCode key) { m_bind_key = key; }
    bool pressed() const { return m_pointer_down || m_key_down || m_held; }
    // A third press source for screens (never set by the button itself).
    void set_held(bool held);
    // The state child on show (null when none).
    Element* shown_state() const;

    // --- Key focus ---
    // The focus mark: found at load, or given (a check box gives each state button its
    // own). It is hidden at once and shown only while the button has the key focus.
    Element* focus_mark() const { return m_focus_mark; }
    void set_focus_mark(Element* mark);
    bool focused() const { return m_focused; }
    // Called by the root container as the key focus comes and goes.
    void set_focused(bool focused);
    // Presses (`down`) or releases the button as its bound key does.
    void press_by_key(bool down);

    static int live_count();

private:
    void update_states();
    void press_changed(bool was, bool cancelled, Point position);
    void drop_press();

    ButtonListener* m_listener = nullptr;
    Element* m_normal = nullptr;
    Element* m_pressed = nullptr;
    Element* m_disabled = nullptr;
    Element* m_focus_mark = nullptr;
    bool m_focused = false;
    KeyCode m_bind_key = key::None;
    std::u16string m_text;
    bool m_pointer_down = false;
    bool m_key_down = false;
    bool m_held = false;
    Point m_last_pos;
};

}  // namespace vistrel
