#pragma once
// "vlist": a long column of items that scrolls by dragging and flicking. Only the items on
// screen exist: the item source makes the element of an index on demand and the list
// destroys items that leave the window. Items are drawn and hit in their own coordinates
// (their top at y 0), the list adding their place in the column.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "ui/element.h"
#include "ui/pointer_tracker.h"

namespace vistrel {

class VList;

// What a screen supplies to a list.
class VListSource {
public:
    virtual ~VListSource() = default;
    virtual void item_clicked(VList& list, int index) = 0;
    // A new element for item `index`, or null when the item no longer exists.
    virtual std::unique_ptr<Element> create_item(VList& list, int index) = 0;
    // Whether the selection of key control may rest on item `index` (a disabled menu
    // entry may not).
    virtual bool item_selectable(const VList&, int) const { return true; }
};

// Item elements that take their content from the source when they come on screen.
class ListItem {
public:
    virtual ~ListItem() = default;
    virtual void bind(VList& list, int index, bool state) = 0;
};

class VList : public Element {
public:
    // While one lives, items the list throws away are kept alive until the outermost scope
    // ends: for handing input to an item whose handling may reset the list.
    class DispatchScope;

    // Pixels per second at which an item's shown height follows its real height.
    static constexpr double kHeightSpeed = 200;
    static constexpr double kMaxVelocity = 2000;

    explicit VList(Element* parent);
    ~VList() override;

    void load(Properties& properties, NodeHandle node) override;
    void on_visibility_changed(bool visible) override;
    void animate(double seconds) override;
    void draw(Surface& surface, Point origin) override;
    void layout_x() override;
    void layout_y() override;
    void measure_y(Extent& extent) override;
    void on_pointer_move(const PointerEvent& event) override;
    bool on_pointer_button(const PointerEvent& event) override;
    // With key control on: Up and Down move the selection and bring it into view, Enter
    // (on its release) reports the selected item as clicked.
    bool on_key(const KeyEvent& event) override;

    void set_source(VListSource* source);
    VListSource* source() const { return m_source; }
    // Throws every item away and starts again with `count` items at the top.
    void reset(int count);
    // The source reports item `index` gone: later items move up by one.
    void item_removed(int index);
    // Binds every live item again (their content changed).
    void rebind();
    // Builds item `index` again through the source when it is live, in its place; its
    // state marks are set anew and its shown height follows the new element's height. An
    // item the source no longer makes is removed. False when the item is not live (it is
    // built when it comes into the window).
    bool rebuild_item(int index);
    void set_selected(int index);
    int selected() const { return m_selected; }
    // Moves the selection by `step` items (kept within the list) and brings it into view;
    // with nothing selected, the first item wholly in view is selected.
    void move_selection(int step);
    // Scrolls the least that shows item `index` whole (its top when it is taller than the
    // list); the motion stops.
    void scroll_to(int index);
    // Whether the list takes keys itself (off: screens move the selection).
    void set_key_control(bool on) { m_key_control = on; }
    bool key_control() const { return m_key_control; }

    int item_count() const { return m_item_count; }
    double offset() const { return m_offset; }
    void set_offset(double offset);
    // Scrolls the content by `pixels` (positive: down towards the top of the list, as a
    // drag down does), without going past either end; the motion stops.
    void scroll_by(double pixels);
    double velocity() const { return m_velocity; }
    double content_height() const { return m_content_height; }
    int above() const { return m_above; }
    int below() const { return m_below; }
    int scroll_border_min() const { return m_scroll_border_min; }
    int scroll_border_max() const { return m_scroll_border_max; }
    void set_scroll_borders(int border_min, int border_max);
    bool grow() const { return m_grow; }
    void set_grow(bool grow);
    bool locked() const { return m_locked; }

    // The live items, top to bottom.
    int live_count() const { return static_cast<int>(m_items.size()); }
    Element* live_element(int i) const;
    // The item's index (-1 once removed) and its shown height.
    int live_index(int i) const;
    double live_height(int i) const;
    // The index of the item under a press that has not turned into a drag; -2 for none.
    int pressed_index() const;
    // The live item at a point, or -1.
    int live_at(Point point) const;

private:
    struct Item {
        std::unique_ptr<Element> element;
        int index = 0;
        int64_t elements = 0;  // in its subtree
        double height = 0;
        bool pressed = false;
        // Its change was reported since it was last drawn (an item outside the clip is not
        // drawn, and must not keep the list drawing every frame).
        bool reported = false;
    };
    // The item pool (vlist_item_pool.cpp).
    bool make_item(int index, Item& out);
    void lay_out_item(Item& item);
    void update_states(Item& item);
    void discard(Item& item);
    void fill_window();
    bool room_for_items() const;
    void cancel_press();
    void clear_items();
    Item* find_item(const Element* element);
    double item_top(const Item& item) const;
    PointerEvent to_item(const PointerEvent& event, const Item& item) const;
    // The steps of a frame's motion, in order (vlist_kinetic_scroll.cpp).
    Element* anchor_item() const;
    bool animate_items(double dt);  // true when an item changed
    void drift(double dt);
    void apply_friction(double dt);
    void brake_past_ends(double dt);
    void spring_back(double dt, double old_offset);
    void drop_press_left_behind();
    void pin_ends();
    // Key navigation (vlist_key_navigation.cpp).
    int first_in_view() const;
    // The window (vlist.cpp).
    bool first_live() const { return m_above == -1; }
    bool last_live() const { return m_below >= m_item_count; }
    double bottom_gap() const;
    int view_height() const;

    int m_scroll_border_min = 0;
    int m_scroll_border_max = 0;
    bool m_locked = false;
    bool m_grow = false;
    VListSource* m_source = nullptr;
    int m_item_count = 0;
    std::deque<Item> m_items;
    int64_t m_live_elements = 0;  // of all live items
    int m_above = -1;
    int m_below = 0;
    double m_offset = 0;
    double m_content_height = 0;
    double m_velocity = 0;
    Element* m_pressed = nullptr;
    int m_selected = -1;
    bool m_refill = true;
    int m_last_height = 0;
    bool m_pointer_down = false;
    bool m_key_control = false;
    bool m_enter_down = false;
    Point m_last_pointer;
    PointerTracker m_tracker;
    // Items thrown away while an item is handling input die when that has finished.
    int m_dispatch_depth = 0;
    std::vector<std::unique_ptr<Element>> m_graveyard;
};

// Counts how deep the list is in handing input to an item; items thrown away meanwhile
// wait in the graveyard until the outermost call has returned.
class VList::DispatchScope {
public:
    explicit DispatchScope(VList& list) : m_list(list) { ++m_list.m_dispatch_depth; }
    ~DispatchScope() {
        if (--m_list.m_dispatch_depth == 0) m_list.m_graveyard.clear();
    }

private:
    VList& m_list;
};

}  // namespace vistrel
