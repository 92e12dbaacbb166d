#include <gtest/gtest.h>

#include "display/window.h"
#include "shell/application.h"
#include "skin/skin_errors.h"
#include "ui/button.h"
#include "ui/menu.h"
#include "ui/text_element.h"
#include "ui_test_support.h"

namespace vistrel {
namespace {

const char* const kMenuSkin = R"(
node Menu { string type node
    node { string type node string id panel string visibility_animation pop
        node { string type vtable
            node { string type text string id caption int grow 1 font font "9 0 0 0 Box" }
            node { string type vlist string id vlist int table_ratio 1 }
        }
    }
}
node MenuElement { string type button point design_size 0 20
    node { string type node string id "#vlist_pressed" }
    node { string type node string id checked }
    node { string type oldtext string id "#text" }
}
node MenuElementDisabled { string type node point design_size 0 20
    node { string type oldtext string id "#text" }
}
node FourButtons { string type htable point design_size 0 20
    node { string type button string id About point design_size 20 20
        node { string type node string id "#normal" } node { string type node string id ptrAbout } }
    node { string type button string id Exit point design_size 20 20
        node { string type node string id "#normal" } }
}
node NoPanel { string type node node { string type vlist string id vlist } }
)";

// The main menu: "Settings" opens a sub-menu, "Sound" toggles a check mark (the same
// menu again), "Locked" cannot be chosen; anything else closes the menu.
struct Owner : MenuListener {
    bool sound = false;
    std::vector<std::u16string> asked;
    void on_menu_item(Menu&, const std::u16string& id, const std::u16string&,
                      std::vector<MenuItem>& entries) override {
        asked.push_back(id);
        if (id == u"MainMenu" || id == u"Sound") {
            if (id == u"Sound") sound = !sound;
            entries.push_back({u"Settings"});
            entries.push_back({u"Sound", u"", u"", u"", true, false, sound});
            // "Locked" can be chosen once the sound is on.
            entries.push_back({u"Locked", u"", u"", u"", sound});
            entries.push_back({u"Cancel"});
        } else if (id == u"Tools") {
            entries.push_back({u"Magic4Buttons", u"", u"", u"FourButtons"});
            entries.push_back({u"Cancel"});
        } else if (id == u"Settings") {
            entries.push_back({u"Language"});
            entries.push_back({u"Skin"});
        }
    }
};

struct MenuTest : ::testing::Test {
    SimulatedClock clock{1000};
    UiElementKinds kinds;
    Application app{u"Vistrel", std::make_unique<HeadlessWindow>(DeviceProfile{}, clock), &kinds};
    Properties properties;
    Container base;
    Owner owner;
    void SetUp() override {
        test::use_source(properties, kMenuSkin);
        app.push_screen(&base, false);
    }
    void frame() { app.update(0.04); }
};

TEST_F(MenuTest, OpensTurnsIntoASubMenuAndCloses) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    EXPECT_FALSE(menu.is_open());
    menu.open_menu(u"MainMenu", u"", true);
    EXPECT_TRUE(menu.is_open());
    EXPECT_EQ(app.top_screen(), &menu.container());
    EXPECT_EQ(app.screen_count(), 2u);
    EXPECT_TRUE(menu.panel()->animation_running());
    EXPECT_EQ(menu.list()->item_count(), 4);
    frame();
    EXPECT_EQ(menu.list()->live_count(), 4);

    // Choosing "Settings" by the pointer turns the menu into its sub-menu in place.
    const int row_y = menu.list()->y() + 5;
    for (int i = 0; i < 10; ++i)
        frame();
    app.dispatch_pointer_button(test::press_at(menu.list()->x() + 5, row_y, 100));
    app.dispatch_pointer_button(test::release_at(menu.list()->x() + 5, row_y, 150));
    EXPECT_EQ(owner.asked.back(), u"Settings");
    EXPECT_EQ(menu.entries().size(), 2u);
    EXPECT_EQ(static_cast<TextElement*>(menu.caption())->text(), u"Settings");
    EXPECT_EQ(app.top_screen(), &menu.container());
    EXPECT_EQ(app.screen_count(), 2u);

    // An entry the owner does not know closes it.
    menu.choose(0);
    EXPECT_EQ(owner.asked.back(), u"Language");
    EXPECT_FALSE(menu.is_open());
    EXPECT_EQ(app.top_screen(), &base);
    EXPECT_EQ(app.screen_count(), 1u);
}

TEST_F(MenuTest, AMenuWithNoEntriesIsNotShownAndDisabledEntriesIgnorePresses) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    menu.open_menu(u"Nothing", u"", true);
    EXPECT_FALSE(menu.is_open());
    EXPECT_EQ(app.screen_count(), 1u);

    menu.open_menu(u"MainMenu", u"", true);
    frame();
    // The disabled entry is drawn from the default node followed by "Disabled" (a plain
    // node, not a button) and choosing it does nothing.
    Element* locked = menu.list()->live_element(2);
    ASSERT_NE(locked, nullptr);
    EXPECT_EQ(dynamic_cast<Button*>(locked->children().front().get()), nullptr);
    menu.choose(2);
    EXPECT_EQ(owner.asked.size(), 2u);
    EXPECT_TRUE(menu.is_open());
    // Keys pass over it both ways.
    const auto key = [&](KeyCode code) {
        app.dispatch_key({code, true, true});
        app.dispatch_key({code, false, true});
    };
    for (KeyCode code : {key::Down, key::Down, key::Down})
        key(code);
    EXPECT_EQ(menu.list()->selected(), 3);
    key(key::Up);
    EXPECT_EQ(menu.list()->selected(), 1);
}

TEST_F(MenuTest, TheSameEntriesAgainOnlyRedrawTheRows) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    menu.open_menu(u"MainMenu", u"", true);
    frame();
    Element* row = menu.list()->live_element(1);
    EXPECT_FALSE(row->find_child(u"checked")->visible());
    menu.choose(1);  // "Sound": the same ids, the check mark toggled
    EXPECT_EQ(menu.list()->live_element(1), row);
    EXPECT_TRUE(row->find_child(u"checked")->visible());
    EXPECT_TRUE(menu.is_open());
}

TEST_F(MenuTest, ARowWhoseEntryChangedItsNodeIsBuiltAgain) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    menu.open_menu(u"MainMenu", u"", true);
    frame();
    Element* locked = menu.list()->live_element(2);
    EXPECT_EQ(dynamic_cast<Button*>(locked->children().front().get()), nullptr);
    menu.choose(1);  // the same ids; "Locked" is enabled now and drawn from "MenuElement"
    locked = menu.list()->live_element(2);
    ASSERT_NE(locked, nullptr);
    EXPECT_NE(dynamic_cast<Button*>(locked->children().front().get()), nullptr);
    EXPECT_EQ(menu.list()->live_element(1)->find_child(u"checked")->visible(), true);
}

TEST_F(MenuTest, ChoosingWhileTheMenuOpensStartsItsAnimationAgain) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    menu.open_menu(u"MainMenu", u"", true);
    frame();
    ASSERT_TRUE(menu.panel()->animation_running());
    menu.choose(0);  // "Settings": another menu in the same place
    ASSERT_TRUE(menu.panel()->animation_running());
    EXPECT_EQ(menu.panel()->animation()->direction(), 1);
    EXPECT_LT(menu.panel()->animation()->progress(), 0.1);
    EXPECT_TRUE(menu.panel()->visible());
}

TEST_F(MenuTest, KeysAloneMoveChooseAndCancel) {
    Menu menu(properties, owner, u"Menu", u"MenuElement");
    menu.open_menu(u"MainMenu", u"", true);
    frame();
    const auto key = [&](KeyCode code) {
        app.dispatch_key({code, true, true});
        app.dispatch_key({code, false, true});
    };
    key(key::Down);
    key(key::Down);
    EXPECT_EQ(menu.list()->selected(), 1);
    key(key::Enter);  // "Sound": the same menu again
    EXPECT_EQ(owner.asked.back(), u"Sound");
    EXPECT_TRUE(owner.sound);
    key(key::Up);
    key(key::Enter);  // "Settings": a new menu, nothing selected in it
    EXPECT_EQ(owner.asked.back(), u"Settings");
    EXPECT_EQ(menu.list()->selected(), -1);
    key(key::Esc);
    EXPECT_FALSE(menu.is_open());
    EXPECT_EQ(app.top_screen(), &base);
    for (const KeyCode back : {key::Backspace, key::SoftRight}) {
        menu.open_menu(u"MainMenu", u"", true);
        key(back);
        EXPECT_FALSE(menu.is_open());
    }
    EXPECT_EQ(owner.asked.back(), u"MainMenu");

    // The buttons of the four-button row: Left and Right move between them, Enter presses.
    menu.open_menu(u"Tools", u"", true);
    frame();
    key(key::Down);
    key(key::Right);
    EXPECT_TRUE(menu.list()->live_element(0)->find_child(u"ptrAbout")->visible());
    key(key::Right);
    EXPECT_FALSE(menu.list()->live_element(0)->find_child(u"ptrAbout")->visible());
    key(key::Enter);
    EXPECT_EQ(owner.asked.back(), u"Exit");
    EXPECT_FALSE(menu.is_open());
}

TEST_F(MenuTest, AMenuNeedsItsNodesAndPanel) {
    EXPECT_THROW(Menu(properties, owner, u"Absent", u"MenuElement"), dovado::NodeNotFoundInSkin);
    try {
        Menu menu(properties, owner, u"NoPanel", u"MenuElement");
        FAIL() << "no error";
    } catch (const dovado::NodeNotFound& e) {
        EXPECT_EQ(e.searched_for(), u"panel");
    }
    Menu menu(properties, owner, u"Menu", u"NoSuchElement");
    EXPECT_THROW(menu.open_menu(u"MainMenu", u"", true), dovado::NodeNotFoundInSkin);
}

}  // namespace
}  // namespace vistrel
