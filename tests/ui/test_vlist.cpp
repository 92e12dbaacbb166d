#include <gtest/gtest.h>

#include <map>

#include "render/render_surface.h"
#include "ui/vlist.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

using test::move_to;
using test::press_at;
using test::release_at;
using test::UiTest;

// An item of a fixed height that remembers which entry it shows.
class Row : public Element, public ListItem {
public:
    explicit Row(int height) : Element(nullptr) { set_design_size({0, height}); }
    void bind(VList&, int index, bool) override { bound = index; }
    int bound = -1;
};

// Items 30 pixels high, one per entry of `entries`; an entry taken out of the model is
// reported as gone when the list asks for it.
struct Source : VListSource {
    std::vector<int> entries;
    std::vector<int> clicked;
    std::map<int, int> heights;  // by entry
    int gone = -1;               // an entry that no longer exists
    explicit Source(int count) {
        for (int i = 0; i < count; ++i)
            entries.push_back(i);
    }
    void item_clicked(VList&, int index) override { clicked.push_back(index); }
    std::unique_ptr<Element> create_item(VList&, int index) override {
        if (index < 0 || index >= static_cast<int>(entries.size())) return nullptr;
        if (entries[static_cast<size_t>(index)] == gone) {
            entries.erase(entries.begin() + index);
            return nullptr;
        }
        const int entry = entries[static_cast<size_t>(index)];
        auto row = std::make_unique<Row>(heights.count(entry) ? heights[entry] : 30);
        row->set_id(u"e" + std::u16string(1, static_cast<char16_t>(u'0' + entry % 10)));
        return row;
    }
};

const char* const kList = R"(
node Screen { string type node
    node { string type vlist string id list }
}
)";

class VListTest : public UiTest {
protected:
    void start(int count, Size size = {50, 100}) {
        build(kList, u"Screen", size);
        list = &get<VList>(u"list");
        source = std::make_unique<Source>(count);
        list->set_source(source.get());
        list->reset(count);
        frame(size);
    }
    std::vector<int> live() const {
        std::vector<int> out;
        for (int i = 0; i < list->live_count(); ++i)
            out.push_back(list->live_index(i));
        return out;
    }
    void drag(int from_y, int to_y, int step, uint32_t& time, uint32_t dt = 10) {
        root.on_pointer_button(press_at(10, from_y, time));
        for (int y = from_y; y != to_y;) {
            y += (to_y > y ? 1 : -1) * std::min(step, std::abs(to_y - y));
            time += dt;
            root.on_pointer_move(move_to(10, y, time));
        }
    }
    VList* list = nullptr;
    std::unique_ptr<Source> source;
};

TEST_F(VListTest, OnlyTheItemsInTheWindowExist) {
    start(10);
    EXPECT_EQ(live(), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(list->below(), 4);
    EXPECT_EQ(list->above(), -1);
    EXPECT_EQ(static_cast<Row*>(list->live_element(2))->bound, 2);
    // Scrolled up by 45: item 0 leaves, item 4 comes in.
    list->set_offset(-45);
    EXPECT_EQ(live(), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(list->offset(), -15);
    EXPECT_EQ(list->above(), 0);
    // Down again by 50: item 0 comes back above, item 4 stays (its top is at 95).
    list->set_offset(5);
    EXPECT_EQ(live(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(list->offset(), -25);

    // At rest, once drawn, it asks for no more frames.
    RenderSurface out({50, 100});
    root.animate(0.04);
    root.draw(out, {0, 0});
    root.animate(0.04);
    EXPECT_FALSE(root.dirty());
    list->set_offset(list->offset() - 1);
    EXPECT_TRUE(root.dirty());

    list->reset(0);
    EXPECT_EQ(list->live_count(), 0);
    EXPECT_EQ(list->item_count(), 0);
}

TEST_F(VListTest, KeysMoveTheSelectionIntoViewAndEnterChoosesIt) {
    start(10);
    EXPECT_FALSE(root.on_key({key::Down, true, true}));  // keys are the screen's by default
    list->set_key_control(true);
    EXPECT_TRUE(root.on_key({key::Down, true, true}));
    EXPECT_EQ(list->selected(), 0);
    for (int i = 0; i < 3; ++i)
        root.on_key({key::Down, true, i == 0});
    // Item 3 (90 to 120) is brought up to the bottom edge.
    EXPECT_EQ(list->selected(), 3);
    EXPECT_DOUBLE_EQ(list->offset(), -20);
    // Far away: the window starts again with the item at the bottom (70 to 100).
    list->scroll_to(8);
    EXPECT_EQ(live(), (std::vector<int>{5, 6, 7, 8, 9}));
    EXPECT_DOUBLE_EQ(list->offset(), -20);
    list->scroll_to(0);
    EXPECT_DOUBLE_EQ(list->offset(), 0);
    EXPECT_EQ(live().front(), 0);
    // Up stops at the first item; Enter chooses on its release.
    root.on_key({key::Up, true, true});
    root.on_key({key::Up, true, true});
    EXPECT_EQ(list->selected(), 1);
    list->set_selected(0);
    root.on_key({key::Up, true, true});
    EXPECT_EQ(list->selected(), 0);
    EXPECT_FALSE(root.on_key({key::Enter, false, true}));  // a release without its press
    EXPECT_TRUE(root.on_key({key::Enter, true, true}));
    EXPECT_TRUE(source->clicked.empty());
    EXPECT_TRUE(root.on_key({key::Enter, false, true}));
    EXPECT_EQ(source->clicked, (std::vector<int>{0}));
}

TEST_F(VListTest, AResetBeforeTheSourceKeepsTheCount) {
    build(kList, u"Screen", {50, 100});
    list = &get<VList>(u"list");
    list->reset(7);
    EXPECT_EQ(list->item_count(), 7);
    source = std::make_unique<Source>(7);
    list->set_source(source.get());
    frame({50, 100});
    EXPECT_EQ(list->item_count(), 7);
    EXPECT_EQ(live(), (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(VListTest, AnEntryGoneFromTheSourceShrinksTheCountWithoutAGap) {
    start(10);
    source->gone = 5;
    list->set_offset(-70);
    // Entry 5 was asked for, reported gone, and entry 6 took index 5.
    EXPECT_EQ(list->item_count(), 9);
    std::vector<int> shown;
    for (int i = 0; i < list->live_count(); ++i)
        shown.push_back(list->live_element(i)->id()[1] - u'0');
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 4, 6}));
    EXPECT_EQ(live(), (std::vector<int>{2, 3, 4, 5}));

    // A live item removed: later indices move up, it shrinks away at 200 px/s.
    list->item_removed(3);
    EXPECT_EQ(live(), (std::vector<int>{2, -1, 3, 4}));
    EXPECT_EQ(list->item_count(), 8);
    root.animate(0.1);
    EXPECT_DOUBLE_EQ(list->live_height(1), 10);
    root.animate(0.1);
    EXPECT_EQ(live(), (std::vector<int>{2, 3, 4, 5}));
}

TEST_F(VListTest, ItemHeightsFollowTheirContentAt200PixelsPerSecond) {
    start(10);
    list->live_element(2)->set_design_size({0, 50});
    root.animate(0.05);
    EXPECT_DOUBLE_EQ(list->live_height(2), 40);
    root.animate(0.05);
    EXPECT_DOUBLE_EQ(list->live_height(2), 50);
    // Item 3 now starts at 110, below the window, and is gone.
    EXPECT_EQ(live(), (std::vector<int>{0, 1, 2}));
    EXPECT_DOUBLE_EQ(list->content_height(), 110);
}

TEST_F(VListTest, DraggingPastTheTopIsDampedByTheGap) {
    start(10);
    uint32_t time = 0;
    drag(10, 35, 25, time);
    EXPECT_DOUBLE_EQ(list->offset(), 25);
    // A gap of a quarter of the height: half the movement.
    root.on_pointer_move(move_to(10, 45, time += 10));
    EXPECT_DOUBLE_EQ(list->offset(), 30);
    list->set_offset(50);
    root.on_pointer_move(move_to(10, 60, time += 10));
    EXPECT_DOUBLE_EQ(list->offset(), 50);
    // Released past the end: no flick, and it springs back at 400 px/s.
    root.on_pointer_button(release_at(10, 60, time));
    EXPECT_EQ(list->velocity(), 0);
    root.animate(0.1);
    EXPECT_DOUBLE_EQ(list->offset(), 10);
    root.animate(0.1);
    EXPECT_DOUBLE_EQ(list->offset(), 0);
}

TEST_F(VListTest, AFlickIsLimitedAndSlowsDownByFriction) {
    start(1000);
    uint32_t time = 1000;
    drag(90, 10, 40, time);  // 4000 px/s upward
    root.on_pointer_button(release_at(10, 10, time));
    EXPECT_DOUBLE_EQ(list->velocity(), -2000);
    // How far the content has moved up: the offset counts from the first live item.
    const auto scrolled = [&] { return list->offset() - 30.0 * (list->above() + 1); };
    int frames = 0;
    double previous = scrolled();
    while (list->velocity() != 0 && frames < 1000) {
        root.animate(0.04);
        EXPECT_LE(scrolled(), previous);
        previous = scrolled();
        ++frames;
    }
    EXPECT_LT(frames, 200);
    EXPECT_LT(scrolled(), -500);

    // A tap while it moves presses no item, and stops the list.
    drag(90, 10, 40, time);
    root.on_pointer_button(release_at(10, 10, time));
    root.on_pointer_button(press_at(10, 50, time + 5));
    EXPECT_EQ(list->pressed_index(), -2);
    root.on_pointer_button(release_at(10, 50, time + 20));
    EXPECT_TRUE(source->clicked.empty());
    EXPECT_EQ(list->velocity(), 0);
}

TEST_F(VListTest, AFlickHeldStillBeforeTheReleaseDoesNotMove) {
    start(1000);
    uint32_t time = 1000;
    drag(90, 10, 40, time);
    root.on_pointer_button(release_at(10, 10, time + 300));
    EXPECT_EQ(list->velocity(), 0);
}

TEST_F(VListTest, ATapClicksTheItemAndShowsItsStates) {
    start(10);
    root.on_pointer_button(press_at(10, 40, 0));
    EXPECT_EQ(list->pressed_index(), 1);
    root.on_pointer_button(release_at(10, 41, 50));
    EXPECT_EQ(source->clicked, (std::vector<int>{1}));
    EXPECT_EQ(list->pressed_index(), -2);
    // Moving cancels the press: a drag is not a click.
    root.on_pointer_button(press_at(10, 40, 100));
    root.on_pointer_move(move_to(10, 42, 110));
    EXPECT_EQ(list->pressed_index(), -2);
    root.on_pointer_button(release_at(10, 42, 120));
    EXPECT_EQ(source->clicked.size(), 1u);
}

TEST_F(UiTest, AGrowingListMeasuresItsContentAndBorders) {
    build(R"(node Screen { string type node node { string type vtable
        node { string type vlist string id list int grow 1
               point scroll_border_min 0 4 point scroll_border_max 0 6 } } })",
          u"Screen", {50, 200});
    auto& list = get<VList>(u"list");
    EXPECT_EQ(list.extent_y().preferred, 10);
    EXPECT_EQ(list.extent_y().minimum, 10);
    Source source(3);
    list.set_source(&source);
    list.reset(3);
    frame({50, 200});
    EXPECT_EQ(list.height(), 100);
    EXPECT_DOUBLE_EQ(list.offset(), 4);
}

TEST_F(VListTest, ItemStatesShowPressedAndSelected) {
    build(R"(
node Screen { string type node node { string type vlist string id list } }
node Item { string type node point design_size 0 30
    node { string type node string id "#vlist_normal" }
    node { string type node string id "#vlist_pressed" }
    node { string type node string id "#vlist_selected" }
}
)",
          u"Screen", {50, 100});
    struct SkinSource : VListSource {
        Properties& p;
        explicit SkinSource(Properties& props) : p(props) {}
        void item_clicked(VList&, int) override {}
        std::unique_ptr<Element> create_item(VList&, int) override {
            return create_element_tree(p, p.find_node(u"Item"));
        }
    } skin_source(properties);
    list = &get<VList>(u"list");
    list->set_source(&skin_source);
    list->reset(5);
    frame({50, 100});
    const auto shown = [&](int item) {
        Element* e = list->live_element(item);
        std::u16string out;
        for (const char16_t* id : {u"#vlist_normal", u"#vlist_pressed", u"#vlist_selected"})
            if (e->find_child(id)->visible()) out += id;
        return out;
    };
    list->set_selected(1);
    EXPECT_EQ(shown(0), u"#vlist_normal");
    EXPECT_EQ(shown(1), u"#vlist_selected");
    root.on_pointer_button(press_at(10, 40, 0));
    EXPECT_EQ(shown(1), u"#vlist_pressed");
    root.on_pointer_button(release_at(10, 40, 10));
    EXPECT_EQ(shown(1), u"#vlist_selected");

    // An item built again in place shows its marks at once.
    Element* old = list->live_element(1);
    EXPECT_TRUE(list->rebuild_item(1));
    EXPECT_NE(list->live_element(1), old);
    EXPECT_EQ(shown(1), u"#vlist_selected");
    EXPECT_EQ(shown(2), u"#vlist_normal");
    EXPECT_FALSE(list->rebuild_item(4));  // not in the window
}

// Items a skin made large and empty (no height, a hundred elements each) must not fill the
// window with hundreds of thousands of elements.
TEST_F(UiTest, EmptyItemsOfManyElementsDoNotMultiplyWithoutBound) {
    struct Heavy : VListSource {
        void item_clicked(VList&, int) override {}
        std::unique_ptr<Element> create_item(VList&, int) override {
            auto row = std::make_unique<Row>(0);
            for (int i = 0; i < 99; ++i)
                new Element(row.get());  // owned by the row
            return row;
        }
    } heavy;
    build(kList, u"Screen", {50, 100});
    VList& list = get<VList>(u"list");
    const int before = Element::live_count();
    list.set_source(&heavy);
    list.reset(100000);
    frame({50, 100});
    EXPECT_GT(list.live_count(), 100);  // still more than a screen's worth
    EXPECT_LE(Element::live_count() - before, (1 << 16) + 100);
    list.reset(0);
    EXPECT_EQ(Element::live_count(), before);
}

}  // namespace
}  // namespace vistrel
