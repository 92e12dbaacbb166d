// Choosing the language and the skin: the start-up fall-backs, the sub-menus, and picks
// that are applied and remembered, or refused with nothing changed.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/registry.h"
#include "platform/settings_store.h"
#include "platform/text.h"
#include "skin/skin_choice.h"
#include "skin_test_support.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ScopedEnv;
using test::TempDir;

constexpr char16_t kApp[] = u"Vistrel";
constexpr char16_t kKey[] = u"HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel";

class ChoiceTest : public ::testing::Test {
protected:
    ChoiceTest()
        : all("LC_ALL", std::nullopt),
          messages("LC_MESSAGES", std::nullopt),
          lang("LANG", "C") {
        SettingsStore::use_file(dir.file("settings.reg"));
        std::filesystem::create_directories(dir.path() / "skins");
        folders.languages = dir.u16();
        folders.skins = dir.u16() + u"/skins";
    }
    // A language file whose "Cancel" text is its own name.
    void language(const std::string& name) {
        test::write_file(dir.file(name + ".lng"), "Cancel=" + name + "\n");
    }
    // A skin with everything the screens look up, and its own node `name`.
    void skin(const std::string& name) { skin_from(name, test::complete_skin_source(name)); }
    // A skin that loads but has none of the screens' nodes.
    void incomplete_skin(const std::string& name) {
        skin_from(name, "node " + name + " { }\nnode Splash { string type node }");
    }
    void skin_from(const std::string& name, const std::string& source) {
        const auto bytes = test::compile_source(source);
        test::write_file(dir.file("skins/" + name + ".skin"), std::string(bytes.begin(), bytes.end()));
    }
    std::u16string setting(const std::u16string& name) {
        std::u16string value = u"(none)";
        read_string(kKey, name, value);
        return value;
    }

    TempDir dir;
    ScopedEnv all, messages, lang;
    ChoiceFolders folders;
    ScreenInfo screen;
};

TEST_F(ChoiceTest, LanguageFallsBackFromRememberedToSystemToEnglishToFirstListed) {
    language("English");
    language("Russian");
    language("aaa");
    Properties p;
    write_string(kKey, u"Language", u"aaa");
    ASSERT_TRUE(choose_language(p, kApp, folders));
    EXPECT_EQ(p.text_for(u"Cancel"), u"aaa");

    // A stale name: the system's language ("RUSSIAN" finds Russian.lng), then "english".
    write_string(kKey, u"Language", u"deleted");
    {
        ScopedEnv russian("LANG", "ru_RU.UTF-8");
        ASSERT_TRUE(choose_language(p, kApp, folders));
        EXPECT_EQ(p.text_for(u"Cancel"), u"Russian");
    }
    ASSERT_TRUE(choose_language(p, kApp, folders));
    EXPECT_EQ(p.text_for(u"Cancel"), u"English");
    EXPECT_EQ(setting(u"Language"), u"deleted");  // the choice is not written back

    std::filesystem::remove(dir.path() / "English.lng");
    ASSERT_TRUE(choose_language(p, kApp, folders));
    EXPECT_EQ(p.text_for(u"Cancel"), u"Russian");  // first listed: "Russian" < "aaa"

    Properties none;
    folders.languages = dir.u16() + u"/skins";
    EXPECT_FALSE(choose_language(none, kApp, folders));
}

TEST_F(ChoiceTest, SkinFallsBackFromRememberedToDefaultToFirstListed) {
    skin("default");
    skin("light");
    test::write_file(dir.file("skins/broken.skin"), "not a skin");
    incomplete_skin("bare");
    Properties p;
    write_string(kKey, u"Skin", u"light");
    ASSERT_TRUE(choose_skin(p, kApp, screen, folders));
    EXPECT_TRUE(p.find_node(u"light"));
    // A remembered skin that does not load, or loads without the screens' nodes.
    for (const char16_t* remembered : {u"broken", u"bare"}) {
        write_string(kKey, u"Skin", remembered);
        ASSERT_TRUE(choose_skin(p, kApp, screen, folders));
        EXPECT_TRUE(p.find_node(u"default")) << to_utf8(remembered);
    }
    std::filesystem::remove(dir.path() / "skins" / "default.skin");
    ASSERT_TRUE(choose_skin(p, kApp, screen, folders));
    // "bare" and "broken" are listed first, but only "light" can show the screens.
    EXPECT_TRUE(p.find_node(u"light"));
    EXPECT_EQ(setting(u"Skin"), u"bare");

    // An incomplete "default" is passed over as well; with nothing complete, no skin.
    incomplete_skin("default");
    Properties q;
    ASSERT_TRUE(choose_skin(q, kApp, screen, folders));
    EXPECT_EQ(q.skin_path(), folders.skins + u"/light.skin");
    std::filesystem::remove(dir.path() / "skins" / "light.skin");
    Properties none;
    EXPECT_FALSE(choose_skin(none, kApp, screen, folders));
    EXPECT_FALSE(none.has_skin());
}

TEST_F(ChoiceTest, ThereIsAChoiceOnlyWithTwoFilesInTheFolderItself) {
    language("English");
    skin("default");
    EXPECT_FALSE(has_language_choice(folders));
    EXPECT_FALSE(has_skin_choice(folders));
    std::filesystem::create_directories(dir.path() / "skins" / "more.skin");
    std::filesystem::create_directories(dir.path() / "sub");
    test::write_file(dir.file("sub/German.lng"), "Cancel=Abbrechen\n");
    EXPECT_FALSE(has_language_choice(folders));
    EXPECT_FALSE(has_skin_choice(folders));
    language("German");
    skin("light");
    EXPECT_TRUE(has_language_choice(folders));
    EXPECT_TRUE(has_skin_choice(folders));
}

TEST_F(ChoiceTest, LanguageMenuListsFilesAndAppliesAndRemembersAPick) {
    language("German");
    language("English");
    Properties p;
    ASSERT_TRUE(p.load_language(folders.languages + u"/English.lng"));
    std::vector<ChoiceItem> items;
    EXPECT_FALSE(language_menu(p, kApp, u"Language", items, u"MenuElement", folders));
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].id, u"Language#English");
    EXPECT_EQ(items[0].text, u"English");
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[1].id, u"Language#German");
    EXPECT_FALSE(items[1].checked);
    EXPECT_EQ(items[2].id, u"Cancel");
    EXPECT_TRUE(items[2].text.empty());
    EXPECT_EQ(items[2].element_node, u"MenuElement");

    // The language in use, a file that is not there, a name with a folder: nothing changes.
    for (const char16_t* command :
         {u"Language#English", u"Language#Klingon", u"Language#../German", u"Cancel"})
        EXPECT_FALSE(language_menu(p, kApp, command, items, u"MenuElement", folders))
            << to_utf8(command);
    EXPECT_EQ(p.text_for(u"Cancel"), u"English");
    EXPECT_EQ(setting(u"Language"), u"(none)");
    EXPECT_EQ(items.size(), 3u);

    EXPECT_TRUE(language_menu(p, kApp, u"Language#German", items, u"MenuElement", folders));
    EXPECT_EQ(p.text_for(u"Cancel"), u"German");
    EXPECT_EQ(setting(u"Language"), u"German");
}

TEST_F(ChoiceTest, SkinMenuShowsDisplayNamesAndKeepsTheSkinOnABrokenPick) {
    skin("default");
    skin("light");
    test::write_file(dir.file("skins/broken.skin"), "not a skin");
    Properties p;
    ASSERT_TRUE(p.load_skin(folders.skins + u"/default.skin", screen));
    std::vector<ChoiceItem> items;
    EXPECT_FALSE(skin_menu(p, kApp, screen, u"Skin", items, u"MenuElement", folders));
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[1].id, u"Skin#default");
    EXPECT_TRUE(items[1].text.empty());  // the menu shows the text of "Skin#default"
    EXPECT_TRUE(items[1].checked);
    EXPECT_FALSE(items[2].checked);

    EXPECT_FALSE(skin_menu(p, kApp, screen, u"Skin#broken", items, u"MenuElement", folders));
    EXPECT_FALSE(skin_menu(p, kApp, screen, u"Skin#default", items, u"MenuElement", folders));
    EXPECT_EQ(items.size(), 4u);  // a pick that does not load leaves the menu alone
    EXPECT_TRUE(p.find_node(u"default"));
    EXPECT_EQ(setting(u"Skin"), u"(none)");
    EXPECT_TRUE(skin_menu(p, kApp, screen, u"Skin#light", items, u"MenuElement", folders));
    EXPECT_TRUE(p.find_node(u"light"));
    EXPECT_EQ(setting(u"Skin"), u"light");
}

}  // namespace
}  // namespace vistrel

namespace vistrel {
namespace {

TEST_F(ChoiceTest, SkinMenuRefusesASkinWithoutTheScreensNodesAndSaysWhy) {
    skin("default");
    incomplete_skin("bare");
    test::write_file(dir.file("Texts.lng"), "SkinIncomplete=Cannot use this skin\nOK=Fine\n");
    Properties p;
    ASSERT_TRUE(p.load_language(folders.languages + u"/Texts.lng"));
    ASSERT_TRUE(p.load_skin(folders.skins + u"/default.skin", screen));
    std::vector<ChoiceItem> items;
    EXPECT_FALSE(skin_menu(p, kApp, screen, u"Skin#bare", items, u"MenuElement", folders));
    EXPECT_EQ(p.skin_path(), folders.skins + u"/default.skin");
    EXPECT_TRUE(p.find_node(u"default"));
    EXPECT_EQ(setting(u"Skin"), u"(none)");
    // The menu shows the reason, which does nothing, and an "OK" that closes it.
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].text, u"Cannot use this skin");
    EXPECT_FALSE(items[0].enabled);
    EXPECT_EQ(items[1].id, u"OK");
    EXPECT_TRUE(items[1].enabled);
}

}  // namespace
}  // namespace vistrel
