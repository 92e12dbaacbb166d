// The program as a user runs it, through scripted headless sessions asserting on the
// element trees the script step `dump` writes.

#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <thread>

#include "app_session.h"
#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_file.h"
#include "library/folder_list.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace vistrel::test {
namespace {

namespace fs = std::filesystem;

constexpr char kStart[] = "settle 8000\n";
constexpr char kSearch[] = "tap 225 15\nsettle 20000\n";  // the test skin's search button

std::string tap_at(const DumpLine& line) {
    return "tap " + std::to_string(line.centre().x) + " " + std::to_string(line.centre().y) + "\n";
}

std::vector<std::string> album_names(const Dump& dump) {
    std::vector<std::string> names;
    for (const DumpLine* line : dump.all("oldtext"))
        if (line->id == "name" && line->visible && line->text) names.push_back(*line->text);
    return names;
}

TEST(AlbumScreen, FirstStartWithoutFolderListWarns) {
    AppSession session;
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt")), 0);
    const Dump dump = session.dump("d.txt");
    EXPECT_EQ(dump.top(), "AlbumScreen");
    EXPECT_TRUE(dump.get("warning_image").visible);
    EXPECT_TRUE(dump.get("warning_text").visible);
    EXPECT_EQ(dump.get("warning_text").text.value_or(""), "No albums yet");
    EXPECT_FALSE(dump.get("listApps").visible);
    EXPECT_FALSE(dump.get("progress").visible);
    EXPECT_TRUE(dump.get("btnSearch").enabled);
}

TEST(AlbumScreen, StoredFolderListShowsItsAlbumsBeforeAnySearch) {
    AppSession session;
    std::vector<Folder> folders;
    for (const char* name : {"Alps", "Beach", "City"}) {
        session.add_pictures(name, 2);
        const std::u16string folder = u"%my_documents%/" + from_utf8(name) + u"/";
        folders.push_back({u"%my_documents%/", folder, folder + u"p000.jpg", 2});
    }
    ASSERT_TRUE(save_folders(from_utf8(session.app() + "/folders.ini"), folders));
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt")), 0);
    const Dump dump = session.dump("d.txt");
    EXPECT_TRUE(dump.get("listApps").visible);
    EXPECT_FALSE(dump.get("warning_text").visible);
    EXPECT_EQ(album_names(dump), (std::vector<std::string>{"Alps", "Beach", "City"}));
    // The key pictures had no cache files: they were built first and now show.
    int thumbnails = 0;
    for (const DumpLine* line : dump.all("image"))
        thumbnails += line->id == "image" && line->visible && line->picture == "made";
    EXPECT_EQ(thumbnails, 3);
    EXPECT_TRUE(fs::exists(session.documents() + "/!vistrelcache"));
}

TEST(AlbumScreen, AnAlbumWhoseKeyPictureIsDamagedShowsBad) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Broken", 2);
    write_file(pictures[0], std::string("\xFF\xD8\xFF\xE0 not a picture"));
    const std::u16string folder = u"%my_documents%/Broken/";
    ASSERT_TRUE(save_folders(from_utf8(session.app() + "/folders.ini"),
                             {{u"%my_documents%/", folder, folder + u"p000.jpg", 2}}));
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("a.txt") +
                          "\ntap 120 58\nsettle 10000\ndump " + session.file("f.txt")),
              0);
    const Dump albums = session.dump("a.txt");
    EXPECT_EQ(albums.get("image").picture, "bad");
    EXPECT_EQ(albums.get("name").text.value_or(""), "Broken");
    EXPECT_EQ(albums.get("count").text.value_or(""), "2");
    const Dump grid = session.dump("f.txt");
    ASSERT_EQ(grid.top(), "FolderScreen");
    std::vector<std::string> shown;
    for (const DumpLine* line : grid.all("image"))
        if (line->id == "image" && line->visible) shown.push_back(line->picture);
    EXPECT_EQ(shown, (std::vector<std::string>{"bad", "made"}));
}

TEST(AlbumScreen, DamagedFolderListAndMissingPathKeepTheProgramRunning) {
    AppSession session;
    write_file(session.app() + "/folders.ini", std::string("\xFF\xFEKeyPic\x00\x00\x01", 11));
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt"),
                          {session.file("no/such/folder")}),
              0);
    const Dump dump = session.dump("d.txt");
    EXPECT_EQ(dump.top(), "AlbumScreen");
    EXPECT_TRUE(dump.get("warning_text").visible);
}

TEST(AlbumScreen, SearchFindsTheCollection) {
    AppSession session;
    session.add_pictures("Trip", 4);
    session.add_pictures("Home", 3, 1);
    ASSERT_EQ(session.run(std::string(kStart) + kSearch + "dump " + session.file("d.txt")), 0);
    const Dump dump = session.dump("d.txt");
    std::vector<std::string> names = album_names(dump);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Home", "Trip"}));
    EXPECT_TRUE(dump.get("btnSearch").enabled);
    EXPECT_FALSE(dump.get("progress").visible);
    EXPECT_FALSE(dump.get("warning_image").visible);
    std::vector<Folder> stored;
    load_folders(from_utf8(session.app() + "/folders.ini"), stored);
    EXPECT_EQ(stored.size(), 2u);
}

TEST(AlbumScreen, SearchFindingNothingBringsTheSearchButtonBack) {
    AppSession session;
    ASSERT_EQ(session.run(std::string(kStart) + kSearch + "dump " + session.file("d.txt")), 0);
    const Dump dump = session.dump("d.txt");
    EXPECT_TRUE(dump.get("btnSearch").enabled);
    EXPECT_TRUE(dump.get("warning_text").visible);
    EXPECT_FALSE(dump.get("listApps").visible);
}

// No album left: the list empties and the warning shows, as after a search that finds
// nothing.
void expect_no_albums(const Dump& dump) {
    EXPECT_EQ(dump.top(), "AlbumScreen");
    EXPECT_TRUE(dump.get("warning_text").visible);
    EXPECT_TRUE(dump.get("warning_image").visible);
    EXPECT_FALSE(dump.get("listApps").visible);
    EXPECT_EQ(dump.visible_count("AlbumElement"), 0);
}

TEST(AlbumScreen, TheLastAlbumFoundEmptyLeavesTheWarning) {
    AppSession session;
    fs::create_directories(session.documents() + "/Gone");  // its pictures went meanwhile
    const std::u16string folder = u"%my_documents%/Gone/";
    ASSERT_TRUE(save_folders(from_utf8(session.app() + "/folders.ini"),
                             {{u"%my_documents%/", folder, folder + u"p000.jpg", 2}}));
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("a.txt") +
                          "\ntap 120 58\nsettle 5000\nkey Backspace\nsettle 5000\ndump " +
                          session.file("b.txt")),
              0);
    EXPECT_EQ(album_names(session.dump("a.txt")), std::vector<std::string>{"Gone"});
    expect_no_albums(session.dump("b.txt"));
}

TEST(AlbumScreen, TheLastAlbumEmptiedInTheViewerLeavesTheWarning) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("One", 1);
    // The picture opens in the viewer over its album; its menu offers "Delete".
    std::string script = "settle 20000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("v.txt"), {pictures[0]}), 0);
    const Dump viewer = session.dump("v.txt");
    ASSERT_EQ(viewer.top(), "ImageViewer");
    script += tap_at(viewer.get("btnMenu", "button")) + "settle 3000\n";
    // "Delete", then its confirmation (which reads "Delete" too).
    for (const char* entry : {"Delete", "Delete"}) {
        ASSERT_EQ(session.run(script + "dump " + session.file("m.txt"), {pictures[0]}), 0);
        const Dump menu = session.dump("m.txt");
        const DumpLine* line = menu.with_text(entry);
        ASSERT_NE(line, nullptr) << entry;
        script += tap_at(*line) + "settle 3000\n";
    }
    ASSERT_EQ(session.run(script + "dump " + session.file("d.txt"), {pictures[0]}), 0);
    EXPECT_FALSE(fs::exists(pictures[0]));
    expect_no_albums(session.dump("d.txt"));
}

TEST(FolderScreen, OpenedAlbumFillsItsGrid) {
    AppSession session;
    session.add_pictures("Trip", 9);
    const std::string before = std::string(kStart) + kSearch;
    ASSERT_EQ(session.run(before + "dump " + session.file("a.txt")), 0);
    const Dump albums = session.dump("a.txt");
    const DumpLine& album = albums.get("", "AlbumElement");
    ASSERT_EQ(session.run(before + tap_at(album) + "settle 10000\ndump " + session.file("f.txt")),
              0);
    const Dump dump = session.dump("f.txt");
    ASSERT_EQ(dump.top(), "FolderScreen");
    EXPECT_EQ(dump.get("btnText").text.value_or(""), "Trip");
    // 9 pictures in rows of 4 on a 240-pixel screen: three rows.
    EXPECT_EQ(dump.visible_count("FolderElement"), 3);
    int thumbnails = 0, disabled = 0, hidden = 0;
    for (const DumpLine* line : dump.all("image"))
        thumbnails += line->id == "image" && line->visible && line->picture == "made";
    for (const DumpLine* line : dump.all("button")) {
        if (line->id.rfind("button", 0) != 0) continue;
        disabled += line->visible && !line->enabled;
        hidden += !line->visible;
    }
    EXPECT_EQ(thumbnails, 9);
    EXPECT_EQ(disabled, 3);    // the last row's three empty places
    EXPECT_EQ(hidden, 3 * 2);  // buttons 4 and 5 of every row
}

TEST(FolderScreen, APictureWhoseCacheFileWasDamagedIsBuiltAgain) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 3);
    const std::u16string drive = u"%my_documents%/";
    for (const std::string& picture : pictures)
        ASSERT_TRUE(build_cache_file(from_utf8(picture), drive, {}));
    const std::u16string folder = drive + u"Trip/";
    ASSERT_TRUE(save_folders(from_utf8(session.app() + "/folders.ini"),
                             {{drive, folder, folder + u"p000.jpg", 3}}));
    // One bit of the second picture's thumbnail goes wrong on the storage.
    const std::u16string second = from_utf8(pictures[1]);
    const std::string cache = to_utf8(expand_path(cache_file_name(second, drive)));
    std::vector<uint8_t> bytes = read_bytes(cache);
    CacheHeader header;
    MemoryStream stream(bytes);
    ASSERT_TRUE(header.read(stream, bytes.size()));
    bytes[header.thumbnail_offset + header.thumbnail_size / 2] ^= 0x08;
    write_bytes(cache, bytes);

    ASSERT_EQ(session.run(std::string(kStart) + "tap 120 58\nsettle 10000\ndump " +
                          session.file("f.txt")),
              0);
    const Dump grid = session.dump("f.txt");
    ASSERT_EQ(grid.top(), "FolderScreen");
    std::vector<std::string> shown;
    for (const DumpLine* line : grid.all("image"))
        if (line->id == "image" && line->visible) shown.push_back(line->picture);
    EXPECT_EQ(shown, (std::vector<std::string>{"made", "made", "made"}));
    // Its cache file was built anew, whole.
    const std::vector<uint8_t> now = read_bytes(cache);
    EXPECT_NE(now, bytes);
    EXPECT_TRUE(inspect_cache_file(from_utf8(cache), expand_path(second)).valid);
}

TEST(FolderScreen, ColumnsFollowTheScreenWidth) {
    AppSession session;
    session.add_pictures("Trip", 9);
    // 320 pixels make rows of 5: two rows, the second with four thumbnails.
    ASSERT_EQ(session.run(std::string(kStart) +
                              "tap 305 15\nsettle 20000\ntap 160 58\n"
                              "settle 10000\ndump " +
                              session.file("f.txt"),
                          {"--screen", "320x240"}),
              0);
    const Dump dump = session.dump("f.txt");
    ASSERT_EQ(dump.top(), "FolderScreen");
    EXPECT_EQ(dump.visible_count("FolderElement"), 2);
    int hidden = 0;
    for (const DumpLine* line : dump.all("button"))
        hidden += line->id.rfind("button", 0) == 0 && !line->visible;
    EXPECT_EQ(hidden, 2);  // button5 of each row
    // Turning a 240 x 320 device on its side makes the same rows.
    ASSERT_EQ(session.run(std::string(kStart) +
                          "tap 120 58\nsettle 10000\nrotate 1\n"
                          "settle 10000\ndump " +
                          session.file("r.txt")),
              0);
    const Dump turned = session.dump("r.txt");
    ASSERT_EQ(turned.top(), "FolderScreen");
    EXPECT_EQ(turned.visible_count("FolderElement"), 2);
}

TEST(FolderScreen, APictureOnTheCommandLineOpensItsAlbum) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 3);
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt"), {pictures[1]}), 0);
    const Dump dump = session.dump("d.txt");
    // The picture shows in the viewer, over its album's folder screen.
    ASSERT_EQ(dump.top(), "ImageViewer");
    EXPECT_EQ(dump.get("btnText").text.value_or(""), "Trip");
    EXPECT_EQ(dump.all("FolderElement").size(), 1u);
    // The folder was new to the library: it is an album from now on.
    std::vector<Folder> albums;
    load_folders(from_utf8(session.app() + "/folders.ini"), albums);
    ASSERT_EQ(albums.size(), 1u);
    EXPECT_EQ(to_utf8(albums[0].folder_path), session.documents() + "/Trip/");
}

TEST(AlbumScreen, MenuLanguagePickChangesEveryText) {
    AppSession session({"MainMenu=Menu"});
    session.add_language("zz", {"AppName=Vistrel", "WARNING_MESSAGE=Keine Alben", "Albums=Alben",
                                "Cancel=Abbrechen", "Language=Sprache", "MainMenu=Hauptmenue"});
    const std::string open_menu = std::string(kStart) + "tap 15 15\nsettle 3000\n";
    ASSERT_EQ(session.run(open_menu + "dump " + session.file("m1.txt")), 0);
    const Dump menu = session.dump("m1.txt");
    const DumpLine* language = menu.with_text("Language");
    ASSERT_NE(language, nullptr);
    const std::string open_languages = open_menu + tap_at(*language) + "settle 3000\n";
    ASSERT_EQ(session.run(open_languages + "dump " + session.file("m2.txt")), 0);
    const Dump languages = session.dump("m2.txt");
    const DumpLine* pick = languages.with_text("zz");
    ASSERT_NE(pick, nullptr);
    ASSERT_NE(languages.with_text("english"), nullptr);
    ASSERT_EQ(
        session.run(open_languages + tap_at(*pick) + "settle 3000\ndump " + session.file("m3.txt")),
        0);
    const Dump after = session.dump("m3.txt");
    EXPECT_EQ(after.top(), "AlbumScreen");
    EXPECT_EQ(after.get("title").text.value_or(""), "Alben");
    EXPECT_EQ(after.get("warning_text").text.value_or(""), "Keine Alben");
    // The pick is remembered for the next start.
    ASSERT_EQ(
        session.run(std::string(kStart) + "tap 15 15\nsettle 3000\ndump " + session.file("m4.txt")),
        0);
    const Dump next = session.dump("m4.txt");
    EXPECT_EQ(next.get("title").text.value_or(""), "Alben");
    EXPECT_NE(next.with_text("Sprache"), nullptr);
    EXPECT_NE(next.with_text("Abbrechen"), nullptr);
}

TEST(AlbumScreen, MenuShowsTheAboutPanelAndExits) {
    AppSession session;
    const std::string open_menu = std::string(kStart) + "tap 15 15\nsettle 3000\n";
    ASSERT_EQ(session.run(open_menu + "dump " + session.file("m.txt")), 0);
    const Dump menu = session.dump("m.txt");
    EXPECT_EQ(menu.screens, 2);
    EXPECT_EQ(menu.with_text("Language"), nullptr);  // one language file: no choice
    const DumpLine& about = menu.get("About", "button");
    const DumpLine& exit = menu.get("Exit", "button");
    ASSERT_EQ(session.run(open_menu + tap_at(about) + "settle 3000\ndump " + session.file("a.txt")),
              0);
    const Dump panel = session.dump("a.txt");
    EXPECT_EQ(panel.top(), "AboutPanel");
    EXPECT_EQ(panel.get("name").text.value_or(""), "Vistrel");
    ASSERT_EQ(session.run(open_menu + tap_at(exit) + "settle 3000\ndump " + session.file("e.txt")),
              0);
    EXPECT_FALSE(fs::exists(session.file("e.txt")));  // the program ended before the dump
}

bool wait_for_file(const std::string& path) {
    for (int i = 0; i < 500 && !fs::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(path);
}

TEST(SingleInstance, SecondStartHandsOverItsFolder) {
    AppSession session;
    session.add_pictures("Trip", 3);
    const int first = session.start(std::string(kStart) + "dump " + session.file("d.txt"));
    ASSERT_GT(first, 0);
    ASSERT_TRUE(wait_for_file(session.file("runtime/DezivovClass_Vistrel.socket")));
    EXPECT_EQ(session.run("dump " + session.file("second.txt"), {session.documents() + "/Trip"}),
              0);
    EXPECT_EQ(wait_for(first), 0);
    EXPECT_FALSE(fs::exists(session.file("second.txt")));  // the second start ended at once
    const Dump dump = session.dump("d.txt");
    ASSERT_EQ(dump.top(), "FolderScreen");
    EXPECT_EQ(dump.get("btnText").text.value_or(""), "Trip");
}

TEST(SingleInstance, AKilledInstanceDoesNotKeepTheNextFromStarting) {
    AppSession session;
    const int killed = session.start("settle 60000\nsettle 60000\n");
    ASSERT_GT(killed, 0);
    ASSERT_TRUE(wait_for_file(session.file("runtime/DezivovClass_Vistrel.socket")));
    ::kill(killed, SIGKILL);
    EXPECT_EQ(wait_for(killed), -1);
    ASSERT_TRUE(fs::exists(session.file("runtime/DezivovClass_Vistrel.socket")));
    ASSERT_EQ(session.run(std::string(kStart) + "dump " + session.file("d.txt")), 0);
    EXPECT_EQ(session.dump("d.txt").top(), "AlbumScreen");
}

TEST(SingleInstance, TwoStartsAtOnceLeaveOneRunning) {
    AppSession session;
    const int a = session.start(std::string(kStart) + "dump " + session.file("a.txt"));
    const int b = session.start(std::string(kStart) + "dump " + session.file("b.txt"));
    EXPECT_EQ(wait_for(a), 0);
    EXPECT_EQ(wait_for(b), 0);
    EXPECT_NE(fs::exists(session.file("a.txt")), fs::exists(session.file("b.txt")));
}

}  // namespace
}  // namespace vistrel::test
