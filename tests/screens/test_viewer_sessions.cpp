// The image viewer as a user reaches it: a picture given on the command line, and a
// thumbnail of the folder screen; scripted headless sessions asserting on the dump.
#include <gtest/gtest.h>

#include <algorithm>

#include "app_session.h"

namespace vistrel::test {
namespace {

std::string tap_at(const DumpLine& line) {
    return "tap " + std::to_string(line.centre().x) + " " + std::to_string(line.centre().y) + "\n";
}

std::string number(const Dump& dump) {
    return dump.get("btnNumText").text.value_or("");
}

TEST(ImageViewer, APictureOnTheCommandLineOpensInTheViewer) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 3);
    const std::string script = "settle 20000\ndump " + session.file("d1.txt") +
                               "\nkey Right\nsettle 10000\ndump " + session.file("d2.txt") +
                               "\nkey Backspace\nsettle 5000\ndump " + session.file("d3.txt") + "\n";
    ASSERT_EQ(session.run(script, {pictures[1]}), 0);
    const Dump opened = session.dump("d1.txt");
    EXPECT_EQ(opened.top(), "ImageViewer");
    EXPECT_TRUE(opened.get("center", "bigpicture").visible);
    // The position in the folder's own order, then the next picture (none after the last).
    const std::string shown = number(opened);
    ASSERT_EQ(shown.size(), 3u);
    const int k = shown[0] - '0';
    EXPECT_EQ(shown.substr(1), " 3");
    EXPECT_EQ(number(session.dump("d2.txt")), std::to_string(std::min(k + 1, 3)) + " 3");
    // Each picture of the viewer names the file it shows: the one given, its neighbours
    // beside it, none past the ends.
    EXPECT_EQ(opened.shown_file(), pictures[k - 1]);
    EXPECT_TRUE(opened.get("center", "bigpicture").active);
    EXPECT_EQ(opened.get("left", "bigpicture").file, k > 1 ? pictures[k - 2] : "");
    EXPECT_EQ(opened.get("right", "bigpicture").file, k < 3 ? pictures[k] : "");
    EXPECT_EQ(session.dump("d2.txt").shown_file(), pictures[std::min(k, 2)]);
    EXPECT_EQ(session.dump("d3.txt").top(), "FolderScreen");
}

TEST(ImageViewer, AThumbnailOfTheFolderScreenOpensItsPicture) {
    AppSession session;
    session.add_pictures("Trip", 3);
    const std::string folder = session.documents() + "/Trip";
    ASSERT_EQ(session.run("settle 20000\ndump " + session.file("d1.txt") + "\n", {folder}), 0);
    const Dump list = session.dump("d1.txt");
    ASSERT_EQ(list.top(), "FolderScreen");
    const std::string script = "settle 20000\n" + tap_at(list.get("button1", "button")) +
                               "settle 20000\ndump " + session.file("d2.txt") + "\n";
    ASSERT_EQ(session.run(script, {folder}), 0);
    const Dump viewer = session.dump("d2.txt");
    EXPECT_EQ(viewer.top(), "ImageViewer");
    EXPECT_EQ(number(viewer), "2 3");
}

TEST(ImageViewer, ThePropertiesPanelShowsInsteadOfTheBars) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 2);
    std::string script = "settle 20000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("v.txt"), {pictures[0]}), 0);
    script += tap_at(session.dump("v.txt").get("btnMenu", "button")) + "settle 3000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("m.txt"), {pictures[0]}), 0);
    const Dump menu = session.dump("m.txt");
    const DumpLine* entry = menu.with_text("Properties");
    ASSERT_NE(entry, nullptr);
    script += tap_at(*entry) + "settle 3000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("p.txt"), {pictures[0]}), 0);
    const Dump shown = session.dump("p.txt");
    ASSERT_EQ(shown.top(), "ImageViewer");
    const DumpLine& panel = shown.get("btnProperties", "button");
    EXPECT_TRUE(panel.visible);
    EXPECT_EQ(panel.text.value_or("").rfind("Name : p000.jpg", 0), 0u) << panel.text.value_or("");
    for (const char* control : {"btnBack", "btnMenu", "btnPlus", "btnNumText"})
        EXPECT_FALSE(shown.get(control, "button").visible) << control;
    // A tap on the panel closes it and brings the bars back.
    script += tap_at(panel) + "settle 1000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("c.txt"), {pictures[0]}), 0);
    const Dump closed = session.dump("c.txt");
    EXPECT_FALSE(closed.get("btnProperties", "button").visible);
    EXPECT_TRUE(closed.get("btnBack", "button").visible);
}

}  // namespace
}  // namespace vistrel::test
