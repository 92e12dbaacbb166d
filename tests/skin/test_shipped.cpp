// The skins and language files the program ships: every node the screens look up is in
// every skin at both densities, every key the program and the skins use is in every
// language, and each skin has its tile stand-ins beside it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "render/bmp_file.h"
#include "skin/language_keys.h"
#include "skin/properties.h"
#include "skin/screen_nodes.h"
#include "skin/skin_choice.h"
#include "skin_test_support.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> shipped(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().extension() == extension) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::u16string u16(const fs::path& path) { return from_utf8(path.string()); }

const fs::path kApp = VISTREL_APP_DIR;

TEST(ShippedSkins, HoldEveryNodeTheScreensLookUpAtBothDensities) {
    const auto skins = shipped(kApp / "skins" / "bin", ".skin");
    ASSERT_GE(skins.size(), 2u);
    for (const fs::path& path : skins) {
        for (const int dpi : {96, 192}) {
            ScreenInfo screen;
            screen.dpi = dpi;
            const PropertiesImpl skin(u16(path), screen);
            ASSERT_TRUE(skin.loaded()) << path << " " << skin.error();
            for (const std::u16string& line : missing_screen_nodes(skin))
                ADD_FAILURE() << path << " at " << dpi << " dpi lacks " << to_utf8(line);
        }
        for (const char* kind : {".load.bmp", ".bad.bmp"}) {
            const fs::path stand_in = path.parent_path() / (path.stem().string() + kind);
            FileStream in(u16(stand_in), OpenMode::Read);
            const auto bitmap = read_bmp_565(in);
            ASSERT_TRUE(bitmap) << stand_in;
            EXPECT_EQ(bitmap->size(), (Size{256, 256})) << stand_in;
        }
    }
}

TEST(ShippedSkins, PassTheToolsCheckAtBothDensities) {
    const std::string tool = VISTREL_TOOL_PROGRAM;
    const std::string english = (kApp / "English.lng").string();
    for (const fs::path& path : shipped(kApp / "skins" / "bin", ".skin"))
        for (const char* dpi : {"96", "192"}) {
            const test::CommandResult check = test::run_program(
                tool, {"skin", path.string(), "--check", "--dpi", dpi, "--lang", english});
            EXPECT_EQ(check.status, 0) << path << " at " << dpi << " dpi:\n" << check.out;
            EXPECT_NE(check.out.find("\ncomplete\n"), std::string::npos) << check.out;
        }
}

// The height in "size=W H" of the first line of `layout` output holding `what`; -1 when
// there is none.
int laid_out_height(const std::string& layout, const std::string& what) {
    const size_t line = layout.find(what);
    if (line == std::string::npos) return -1;
    const size_t size = layout.find(" size=", line);
    if (size == std::string::npos) return -1;
    int w = 0, h = -1;
    std::sscanf(layout.c_str() + size, " size=%d %d", &w, &h);
    return h;
}

TEST(ShippedSkins, MenusOfUpToFiveEntriesFitTheSmallestScreenWithoutScrolling) {
    const std::string tool = VISTREL_TOOL_PROGRAM;
    for (const fs::path& path : shipped(kApp / "skins" / "bin", ".skin")) {
        auto height = [&](const std::vector<std::string>& args, const std::string& what) {
            std::vector<std::string> all = {"layout", path.string()};
            all.insert(all.end(), args.begin(), args.end());
            const test::CommandResult layout = test::run_program(tool, all);
            EXPECT_EQ(layout.status, 0) << layout.out;
            return laid_out_height(layout.out, what);
        };
        const int row = height({"MenuElement", "176", "0"}, "{}");
        const int buttons = height({"MenuElement4Buttons", "176", "0"}, "{}");
        ASSERT_GT(row, 0);
        const int send = height({"Menu", "176", "220", "--menu",
                                 "Send=Original,Large,Medium,Small,Cancel"}, "{vlist}");
        EXPECT_GE(send, 5 * row) << path;
        const int main = height({"Menu", "176", "220", "--menu",
                                 "MainMenu=Magic4Buttons@MenuElement4Buttons,Language,Skin,Cancel"},
                                "{vlist}");
        EXPECT_GE(main, buttons + 3 * row) << path;
    }
}

TEST(SkinGallery, DrawsEveryNodeOnEveryScreenAndOneContactSheet) {
    const std::string source = VISTREL_SOURCE_DIR;
    test::TempDir out;
    const test::CommandResult gallery =
        test::run_command("VISTREL_BUILD_DIR='" + kApp.parent_path().string() + "' '" + source +
                          "/scripts/skin-gallery.sh' default '" + out.str() + "' German");
    ASSERT_EQ(gallery.status, 0) << gallery.out;
    EXPECT_TRUE(fs::is_regular_file(out.path() / "contact-sheet.png"));
    for (const char* screen : {"176x220@96", "240x320@96", "800x480@96", "480x640@192"})
        for (const char* picture : {"Splash.png", "Image.png", "AlbumElement.png", "Menu-send.png"})
            EXPECT_TRUE(fs::is_regular_file(out.path() / screen / picture)) << screen << picture;
}

TEST(ShippedLanguages, HoldEveryKeyOfTheProgramAndTheSkins) {
    std::vector<std::u16string> keys(kProgramLanguageKeys.begin(), kProgramLanguageKeys.end());
    for (const fs::path& path : shipped(kApp / "skins" / "bin", ".skin")) {
        keys.push_back(u"Skin#" + base_name(u16(path)));
        const PropertiesImpl skin(u16(path), ScreenInfo{});
        for (std::u16string& key : skin_text_keys(skin)) keys.push_back(std::move(key));
    }
    const auto languages = shipped(kApp, ".lng");
    ASSERT_GE(languages.size(), 5u);
    for (const fs::path& path : languages) {
        const std::string bytes = test::read_file_bytes(path.string());
        ASSERT_GE(bytes.size(), 2u);
        EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << path << " is not UTF-16 with a byte-order mark";
        LanguageTable table;
        ASSERT_TRUE(table.load(u16(path)));
        for (const std::u16string& key : keys) {
            const std::u16string* text = table.find(key);
            EXPECT_TRUE(text && !text->empty()) << path << " has no text for " << to_utf8(key);
        }
        // Its help page is in the program folder.
        EXPECT_TRUE(fs::is_regular_file(kApp / to_utf8(table.text_for(u"Help_link")))) << path;
    }
}

TEST(ScreenNodes, NamesWhatASkinLacks) {
    const auto bytes = test::compile_source(R"(
        node Image {
            node { string type button  string id btnBack }
            node { string type image  string id left }
        }
        node Menu { node { string type node  string id panel } node { string type vlist  string id vlist } }
    )");
    const PropertiesImpl skin(bytes, u"test.skin", ScreenInfo{}, test::box_resources());
    ASSERT_TRUE(skin.loaded());
    const std::vector<std::u16string> missing = missing_screen_nodes(skin);
    const auto has = [&](const std::u16string& line) {
        return std::find(missing.begin(), missing.end(), line) != missing.end();
    };
    EXPECT_TRUE(has(u"Main"));
    EXPECT_TRUE(has(u"Image/btnBack/ptrBack"));
    EXPECT_TRUE(has(u"Image/left is a image, not a bigpicture"));
    EXPECT_FALSE(has(u"Image/btnBack"));
    EXPECT_TRUE(has(u"MenuElement"));
    for (const std::u16string& line : missing) EXPECT_NE(line.rfind(u"Menu/", 0), 0u) << to_utf8(line);
}

}  // namespace
}  // namespace vistrel
