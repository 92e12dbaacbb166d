#include <gtest/gtest.h>

#include "skin/skin_errors.h"
#include "ui/button.h"
#include "ui/checkbox.h"
#include "ui/old_text.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

using test::press_at;
using test::Probe;
using test::release_at;
using test::UiTest;

struct Clicks : ButtonListener {
    int clicks = 0;
    std::vector<bool> press_changes;  // the cancelled flag of each
    bool clicked(Button&, const ButtonEvent&) override {
        ++clicks;
        return true;
    }
    void press_changed(Button&, const ButtonEvent& e) override {
        press_changes.push_back(e.cancelled);
    }
};

// Two 50 x 50 buttons overlapping in [25, 50); the first has no "#pressed".
const char* const kButtons = R"(
node Screen { string type node
    node { string type button string id one string anchor_x MIN_SIDE string anchor_y MIN_SIDE
        point design_size 50 50 string bind_key Enter
        node { string type node string id "#normal" }
        node { string type node string id "#disabled" }
    }
    node { string type button string id two string anchor_x MIN_SIDE string anchor_y MIN_SIDE
        point design_size 50 50 point border_min 25 25
        node { string type node string id "#normal" }
        node { string type node string id "#pressed" }
        node { string type oldtext string id "#text" }
    }
}
)";

TEST_F(UiTest, AClickIsAReleaseInsideThePressedButton) {
    build(kButtons, u"Screen", {100, 100});
    auto& two = get<Button>(u"two");
    Clicks listener;
    two.set_listener(&listener);
    EXPECT_EQ(two.shown_state()->id(), u"#normal");

    root.on_pointer_button(press_at(60, 60));
    EXPECT_TRUE(two.pressed());
    EXPECT_EQ(two.shown_state()->id(), u"#pressed");
    EXPECT_TRUE(two.find_child(u"#pressed")->visible());
    EXPECT_FALSE(two.find_child(u"#normal")->visible());
    // Dragged outside and released there: no click.
    root.on_pointer_move(test::move_to(90, 90));
    root.on_pointer_button(release_at(99, 99));
    EXPECT_EQ(listener.clicks, 0);
    EXPECT_FALSE(two.pressed());
    // Released inside: a click.
    root.on_pointer_button(press_at(60, 60));
    root.on_pointer_button(release_at(70, 70));
    EXPECT_EQ(listener.clicks, 1);
    EXPECT_EQ(listener.press_changes, (std::vector<bool>{false, false, false, false}));

    two.set_text(u"Caption");
    EXPECT_EQ(static_cast<OldTextElement&>(*two.find_child(u"#text")).text(), u"Caption");
}

TEST_F(UiTest, AButtonWithoutPressedStateKeepsItsNormalOneAndClicksByKey) {
    build(kButtons, u"Screen", {100, 100});
    auto& one = get<Button>(u"one");
    Clicks listener;
    one.set_listener(&listener);
    EXPECT_TRUE(root.on_key({key::Enter, true, true}));
    EXPECT_TRUE(one.pressed());
    EXPECT_EQ(one.shown_state()->id(), u"#normal");
    EXPECT_EQ(listener.clicks, 0);
    EXPECT_TRUE(root.on_key({key::Enter, false, true}));
    EXPECT_EQ(listener.clicks, 1);
    EXPECT_FALSE(root.on_key({key::Esc, true, true}));

    // Disabled: the "#disabled" state, and neither key nor pointer reaches it.
    one.set_enabled(false);
    EXPECT_EQ(one.shown_state()->id(), u"#disabled");
    EXPECT_FALSE(one.find_child(u"#normal")->visible());
    EXPECT_FALSE(root.on_key({key::Enter, true, true}));
    root.on_pointer_button(press_at(10, 10));
    root.on_pointer_button(release_at(10, 10));
    EXPECT_EQ(listener.clicks, 1);
    one.set_enabled(true);
    EXPECT_EQ(one.shown_state()->id(), u"#normal");
}

TEST_F(UiTest, AKeyPressLostToHidingOrDisablingDoesNotLeaveTheButtonPressed) {
    build(kButtons, u"Screen", {100, 100});
    auto& one = get<Button>(u"one");
    Clicks listener;
    one.set_listener(&listener);
    for (const bool hide : {true, false}) {
        // The bound key goes down; the button goes away before the key comes up.
        EXPECT_TRUE(root.on_key({key::Enter, true, true}));
        EXPECT_TRUE(one.pressed());
        if (hide)
            one.set_visible(false);
        else
            one.set_enabled(false);
        EXPECT_FALSE(root.on_key({key::Enter, false, true}));
        EXPECT_FALSE(one.pressed());
        one.set_visible(true);
        one.set_enabled(true);
        EXPECT_EQ(listener.clicks, 0);
        // The next press and release click.
        root.on_pointer_button(press_at(10, 10));
        root.on_pointer_button(release_at(10, 10));
        EXPECT_EQ(listener.clicks, 1);
        listener.clicks = 0;
    }
}

// A viewer-like row: buttons and a check box with their pointer nodes, and a button with none.
const char* const kFocusRow = R"(
node Screen { string type htable
    node { string type button string id btnBack point design_size 20 20
        node { string type node string id "#normal" }
        node { string type node string id ptrBack } }
    node { string type checkbox string id chkLandscape point design_size 20 20
        node { string type button string id "#state_0" node { string type node string id "#normal" }
            node { string type node string id ptr_state_0 } }
        node { string type button string id "#state_1" node { string type node string id "#normal" } }
        node { string type node string id ptr_state_1 } }
    node { string type button string id plain point design_size 20 20
        node { string type node string id "#normal" } }
    node { string type node string id btngap1 node { string type node string id ptrgap } }
}
)";

TEST_F(UiTest, KeyNavigationMovesTheFocusMarkBetweenControlsAndEnterClicks) {
    build(kFocusRow, u"Screen", {60, 20});
    auto& back = get<Button>(u"btnBack");
    auto& check = get<Checkbox>(u"chkLandscape");
    Clicks listener;
    back.set_listener(&listener);
    const auto mark = [&](const char16_t* id) { return get(id).effectively_visible(); };
    // No key navigation yet: every mark is hidden.
    EXPECT_FALSE(mark(u"ptrBack") || mark(u"ptr_state_0") || mark(u"ptr_state_1"));
    EXPECT_FALSE(mark(u"ptrgap"));  // a spacer's pointer node is never shown
    EXPECT_EQ(root.focused(), nullptr);

    EXPECT_TRUE(root.focus_key({key::Right, true, true}));
    EXPECT_EQ(root.focused(), &back);
    EXPECT_TRUE(mark(u"ptrBack"));
    root.focus_key({key::Right, true, true});
    EXPECT_EQ(root.focused(), check.state_button(0));
    EXPECT_FALSE(mark(u"ptrBack"));
    EXPECT_TRUE(mark(u"ptr_state_0"));
    // Enter clicks the check box; the focus and its mark follow the state shown.
    EXPECT_TRUE(root.focus_key({key::Enter, true, true}));
    EXPECT_TRUE(root.focus_key({key::Enter, false, true}));
    EXPECT_EQ(check.state(), 1);
    EXPECT_EQ(root.focused(), check.state_button(1));
    EXPECT_TRUE(mark(u"ptr_state_1"));
    EXPECT_FALSE(mark(u"ptr_state_0"));
    // A button without a pointer node is a stop too; the focus goes round at the ends.
    root.focus_key({key::Right, true, true});
    EXPECT_EQ(root.focused(), &get<Button>(u"plain"));
    root.focus_key({key::Right, true, true});
    EXPECT_EQ(root.focused(), &back);
    root.focus_key({key::Enter, true, true});
    root.focus_key({key::Enter, false, true});
    EXPECT_EQ(listener.clicks, 1);
    EXPECT_FALSE(root.focus_key({key::Up, true, true}));
    // The pointer hides the mark; the next key shows it where it was.
    root.on_pointer_button(press_at(50, 10));
    root.on_pointer_button(release_at(50, 10));
    EXPECT_FALSE(mark(u"ptrBack"));
    EXPECT_FALSE(root.focus_key({key::Enter, true, true}));
    root.focus_key({key::Left, true, true});
    EXPECT_EQ(root.focused(), &back);
    EXPECT_TRUE(mark(u"ptrBack"));
}

TEST_F(UiTest, OverlappingElementsTheFirstThatTakesThePressGetsTheRelease) {
    build(kButtons, u"Screen", {100, 100});
    // Registered after the buttons.
    auto* refusing = new Probe(&root, false);
    frame({100, 100});
    auto& one = get<Button>(u"one");
    auto& two = get<Button>(u"two");
    root.move_interactive_to_end(&one);  // order: two, probe, one
    Clicks a, b;
    one.set_listener(&a);
    two.set_listener(&b);
    root.remove_interactive(&two);
    root.add_interactive(&two);  // order: probe, one, two
    ASSERT_EQ(root.interactive().front(), refusing);

    EXPECT_TRUE(root.on_pointer_button(press_at(30, 30)));
    // The probe saw the press and refused it; "one" took it; "two" was never asked.
    EXPECT_EQ(refusing->buttons.size(), 1u);
    EXPECT_TRUE(one.pressed());
    EXPECT_FALSE(two.pressed());
    EXPECT_EQ(root.captured().size(), 2u);
    root.on_pointer_button(release_at(30, 30));
    EXPECT_EQ(a.clicks, 1);
    EXPECT_EQ(b.clicks, 0);
    EXPECT_EQ(refusing->buttons.size(), 2u);
    EXPECT_TRUE(root.captured().empty());
    // A release with nothing captured goes nowhere.
    EXPECT_FALSE(root.on_pointer_button(release_at(30, 30)));
}

TEST_F(UiTest, CaptureKeepsThePointerAndHidingCancelsIt) {
    build(kButtons, u"Screen", {100, 100});
    auto* probe = new Probe(&root, true);
    frame({100, 100});
    root.remove_interactive(&get(u"one"));
    root.remove_interactive(&get(u"two"));
    root.on_pointer_button(press_at(5, 5));
    // Moves go to the captured element even outside it.
    root.on_pointer_move(test::move_to(500, 500));
    EXPECT_EQ(probe->moves.size(), 1u);
    root.set_visible(false);
    ASSERT_EQ(probe->buttons.size(), 2u);
    EXPECT_TRUE(probe->buttons[1].cancelled);
    EXPECT_EQ(probe->buttons[1].x, -1);
    EXPECT_TRUE(root.captured().empty());
    root.set_visible(true);

    // Disabled or hidden elements get no input; a hidden captured one hears a cancelled
    // release rather than staying pressed.
    probe->set_enabled(false);
    EXPECT_FALSE(root.on_key({key::A, true, true}));
    EXPECT_FALSE(root.on_text(u"x"));
    probe->set_enabled(true);
    EXPECT_TRUE(root.on_text(u"x"));
    root.on_pointer_button(press_at(5, 5));
    probe->set_visible(false);
    root.on_pointer_button(release_at(5, 5));
    EXPECT_TRUE(probe->buttons.back().cancelled);
    root.on_pointer_button(press_at(5, 5));
    EXPECT_EQ(probe->buttons.back().pressed, false);

    // An element destroyed while it holds the pointer is simply gone.
    probe->set_visible(true);
    root.on_pointer_button(press_at(5, 5));
    delete probe;
    EXPECT_TRUE(root.captured().empty());
    EXPECT_FALSE(root.on_pointer_button(release_at(5, 5)));
}

const char* const kCheckbox = R"(
node Screen { string type node
    node { string type checkbox string id box int states 3 string text Check
        node { string type button string id "#state_0" node { string type oldtext string id "#text" } }
        node { string type button string id "#state_1" node { string type oldtext string id "#text" } }
        node { string type button string id "#state_2" node { string type oldtext string id "#text" } }
    }
}
node Broken { string type node
    node { string type checkbox string id box
        node { string type button string id "#state_0" }
    }
}
)";

struct StateLog : CheckboxListener {
    std::vector<int> states;
    void clicked(Checkbox& box, const ButtonEvent&) override { box.set_state(0, false); }
    void state_changed(Checkbox& box, bool) override { states.push_back(box.state()); }
};

TEST_F(UiTest, ACheckboxCyclesThroughItsStates) {
    build(kCheckbox, u"Screen", {40, 40});
    auto& box = get<Checkbox>(u"box");
    std::vector<int> seen;
    for (int i = 0; i < 3; ++i) {
        root.on_pointer_button(press_at(5, 5));
        root.on_pointer_button(release_at(5, 5));
        seen.push_back(box.state());
        for (int s = 0; s < 3; ++s)
            EXPECT_EQ(box.state_button(s)->visible(), s == box.state());
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0}));
    EXPECT_EQ(box.state_button(0)->text(), u"Check");

    // With a listener, the listener decides.
    StateLog log;
    box.set_listener(&log);
    box.set_state(2, true);
    root.on_pointer_button(press_at(5, 5));
    root.on_pointer_button(release_at(5, 5));
    EXPECT_EQ(log.states, (std::vector<int>{2, 0}));

    try {
        load_from_skin(root, properties, u"Broken");
        FAIL() << "no error";
    } catch (const dovado::NodeNotFound& e) {
        EXPECT_EQ(e.searched_in(), u"box");
        EXPECT_EQ(e.searched_for(), u"#state_1");
    }
}

}  // namespace
}  // namespace vistrel
