#pragma once
// The root of an element tree, and so the base of every screen: it keeps the elements of
// its tree that take input (in registration order) and those that hold the pointer, and
// passes pointer, key and text input to them.

#include <vector>

#include "render/pixel.h"
#include "shell/screen.h"
#include "ui/element.h"
#include "ui/visibility_animation.h"

namespace vistrel {

class Button;

class Container : public Element, public Screen {
public:
    Container();
    ~Container() override;

    void load(Properties& properties, NodeHandle node) override;
    // Hiding also cancels every pointer capture.
    void set_visible(bool visible) override;
    void show_animated(bool show) override;
    void set_x_extent(int x, int width) override;
    void set_y_extent(int y, int height) override;
    void animate(double seconds) override;
    // Draws the tree (or the container's running visibility animation) and clears the
    // container's dirty flag.
    void draw(Surface& surface, Point origin) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    bool on_text(const std::u16string& text) override;
    VisibilityAnimation* animation() override { return Element::animation(); }
    bool dirty() const override { return Element::dirty(); }
    bool layout_pending() const override { return Element::layout_pending(); }
    // The elements that take input and are visible and enabled now, in registration order.
    std::vector<Rect> input_rects() const override;

    // --- Elements that take input ---
    void add_interactive(Element* element);
    void remove_interactive(Element* element);
    // Moves an element to the end of the interactive list (it is asked last).
    void move_interactive_to_end(Element* element);
    // Drops an element from both lists (it is being destroyed).
    void forget(Element* element);
    const std::vector<Element*>& interactive() const { return m_interactive; }
    const std::vector<Element*>& captured() const { return m_captured; }
    // Sends every captured element a cancelled release at (-1, -1) and empties the list.
    void cancel_capture();
    // Empties the capture list without telling anyone.
    void clear_capture() { m_captured.clear(); }

    Colour outside_color() const { return m_outside_color; }

    // --- Key focus ---
    // Key navigation for screens without a pointer: the focus moves between the buttons of
    // the tree that take input (in registration order, going round at the ends) and shows
    // the focused one's focus mark. Every pointer node of the tree (an id beginning with
    // "ptr") is hidden when the container loads; spacers' pointer nodes stay hidden.
    // Screens call `focus_key` from their `on_key` with the keys they give to it. A pointer
    // press hides the mark; the next move starts from the button that had the focus.
    Button* focused() const { return m_focus; }
    // Gives the focus to `button` (null takes it away).
    void set_focus(Button* button);
    // Moves the focus by `step` focus stops; false when there is none.
    bool move_focus(int step);
    // `previous` and `next` move the focus on their press; Enter presses and releases the
    // focused button (a release clicks it). True when the key was one of them.
    bool focus_key(const KeyEvent& event, KeyCode previous = key::Left, KeyCode next = key::Right);

private:
    bool takes_input(Element* element) const;
    bool still_interactive(Element* element) const;

    std::vector<Element*> m_interactive;
    std::vector<Element*> m_captured;
    Button* m_focus = nullptr;
    bool m_focus_down = false;
    Colour m_outside_color{0, 0, 0, 255};
};

}  // namespace vistrel
