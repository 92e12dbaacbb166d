// The program as a desktop window: resizes lay every screen out anew, the wheel and the
// desktop keys in the viewer, and a delete that goes to the trash; headless sessions
// asserting on the dump.
#include <gtest/gtest.h>

#include <filesystem>

#include "app_session.h"
#include "support/test_support.h"

namespace vistrel::test {
namespace {

namespace fs = std::filesystem;

std::string tap_at(const DumpLine& line) {
    return "tap " + std::to_string(line.centre().x) + " " + std::to_string(line.centre().y) + "\n";
}

int width_of(const DumpLine& line) {
    return line.rect.right - line.rect.left;
}

TEST(Desktop, AResizedWindowLaysEveryScreenOutAtItsSize) {
    AppSession session;
    session.add_pictures("Trip", 3);
    const std::string folder = session.documents() + "/Trip";
    std::string script = "settle 20000\ndump " + session.file("a.txt") + "\n";
    int step = 0;
    for (const char* size : {"800 600", "1 1", "10000 10000", "640 480"}) {
        const std::string name = "r" + std::to_string(step++) + ".txt";
        script += std::string("resize ") + size + "\nsettle 10000\ndump " + session.file(name) + "\n";
    }
    ASSERT_EQ(session.run(script, {folder}), 0);
    const Dump before = session.dump("a.txt");
    EXPECT_EQ(before.window, (Size{240, 320}));
    ASSERT_EQ(before.top(), "FolderScreen");
    EXPECT_LE(width_of(before.get("listFolder")), 240);

    const Dump wide = session.dump("r0.txt");
    EXPECT_EQ(wide.window, (Size{800, 600}));
    EXPECT_EQ(wide.top(), "FolderScreen");
    EXPECT_GT(width_of(wide.get("listFolder")), 700);
    EXPECT_GT(wide.get("listFolder").rect.bottom, 500);

    // The smallest window and one larger than any screen: the program goes on.
    EXPECT_EQ(session.dump("r1.txt").window, (Size{1, 1}));
    const Dump huge = session.dump("r2.txt");
    EXPECT_EQ(huge.window.w, huge.window.h);
    EXPECT_LE(int64_t(huge.window.w) * huge.window.h, int64_t(7680) * 4320);
    EXPECT_GT(huge.window.w, 4000);

    const Dump back = session.dump("r3.txt");
    EXPECT_EQ(back.window, (Size{640, 480}));
    EXPECT_GT(width_of(back.get("listFolder")), 560);
    EXPECT_LE(back.get("listFolder").rect.right, 640);
}

TEST(Desktop, TheWheelAndTheKeysZoomAndMoveInTheViewer) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 3, 0, {1600, 1200});
    const auto dump = [&](const std::string& name) { return "dump " + session.file(name) + "\n"; };
    const std::string script = "settle 20000\n" + dump("fit.txt") +
                               "wheel 60 80 4\nsettle 5000\n" + dump("wheel.txt") +
                               "key 0\nsettle 5000\n" + dump("zero.txt") +
                               "key 1\nsettle 5000\n" + dump("one.txt") +
                               "key Minus\nsettle 5000\n" + dump("minus.txt") +
                               "wheel 60 80 -100\nsettle 5000\n" + dump("out.txt") +
                               "key End\nsettle 5000\n" + dump("end.txt") +
                               "key Home\nsettle 5000\n" + dump("home.txt") +
                               "key Space\nsettle 5000\n" + dump("space.txt") +
                               "key PageUp\nsettle 5000\n" + dump("up.txt") +
                               "key F11\nsettle 2000\n" + dump("full.txt") +
                               "key Esc\nsettle 2000\n" + dump("left.txt") +
                               "key Esc\nsettle 5000\n" + dump("gone.txt");
    ASSERT_EQ(session.run(script, {pictures[1]}), 0);
    const Dump fit = session.dump("fit.txt");
    ASSERT_EQ(fit.top(), "ImageViewer");
    const DumpLine& view = fit.get("center", "bigpicture");
    const double fit_zoom = view.number("fit");
    const double full = view.number("full");
    ASSERT_LT(fit_zoom, full - 1) << "the picture must be larger than the screen";
    EXPECT_NEAR(view.number("zoom"), fit_zoom, 1e-3);
    // Four notches: two whole levels in, at most full size.
    EXPECT_NEAR(session.dump("wheel.txt").get("center", "bigpicture").number("zoom"),
                std::min(full, fit_zoom + 2), 1e-3);
    EXPECT_NEAR(session.dump("zero.txt").get("center", "bigpicture").number("zoom"), fit_zoom, 1e-3);
    EXPECT_NEAR(session.dump("one.txt").get("center", "bigpicture").number("zoom"), full, 1e-3);
    EXPECT_NEAR(session.dump("minus.txt").get("center", "bigpicture").number("zoom"), full - 1, 1e-3);
    EXPECT_NEAR(session.dump("out.txt").get("center", "bigpicture").number("zoom"), fit_zoom, 1e-3);

    const auto number = [&](const std::string& name) {
        return session.dump(name).get("btnNumText").text.value_or("");
    };
    EXPECT_EQ(number("end.txt"), "3 3");
    EXPECT_EQ(number("home.txt"), "1 3");
    EXPECT_EQ(number("space.txt"), "2 3");
    EXPECT_EQ(number("up.txt"), "1 3");
    // Escape leaves full screen first, then the viewer.
    EXPECT_TRUE(session.dump("full.txt").full_screen);
    const Dump left = session.dump("left.txt");
    EXPECT_FALSE(left.full_screen);
    EXPECT_EQ(left.top(), "ImageViewer");
    EXPECT_EQ(session.dump("gone.txt").top(), "FolderScreen");
}

TEST(Desktop, TheWheelScrollsTheGrid) {
    AppSession session;
    session.add_pictures("Many", 60);
    const std::string folder = session.documents() + "/Many";
    const std::string script = "settle 20000\ndump " + session.file("a.txt") +
                               "\nwheel 120 160 -3\nsettle 5000\ndump " + session.file("b.txt") +
                               "\nwheel 120 160 100\nsettle 5000\ndump " + session.file("c.txt") + "\n";
    ASSERT_EQ(session.run(script, {folder}), 0);
    const auto first_row_top = [&](const std::string& name) {
        const Dump dump = session.dump(name);
        const std::vector<const DumpLine*> rows = dump.all("FolderElement");
        EXPECT_FALSE(rows.empty());
        return rows.empty() ? 0 : rows.front()->rect.top;
    };
    const int top = first_row_top("a.txt");
    EXPECT_LT(first_row_top("b.txt"), top);
    // Far past the top: back at the top, not beyond it.
    EXPECT_EQ(first_row_top("c.txt"), top);
}

TEST(Desktop, DeleteMovesThePictureToTheTrash) {
    AppSession session({"DeleteToTrash=To the trash", "DeleteForGood=For good"});
    const std::vector<std::string> pictures = session.add_pictures("Trip 1", 3);
    std::string script = "settle 20000\nkey Del\nsettle 3000\n";
    ASSERT_EQ(session.run(script + "dump " + session.file("ask.txt") + "\n", {pictures[0]}), 0);
    const Dump ask = session.dump("ask.txt");
    const DumpLine* yes = ask.with_text("To the trash");
    ASSERT_NE(yes, nullptr);
    EXPECT_TRUE(fs::exists(pictures[0])) << "asking deletes nothing";
    script += tap_at(*yes) + "settle 5000\ndump " + session.file("after.txt") +
              "\nkey Backspace\nsettle 5000\ndump " + session.file("grid.txt") + "\n";
    ASSERT_EQ(session.run(script, {pictures[0]}), 0);
    EXPECT_FALSE(fs::exists(pictures[0]));
    const std::string trashed = session.file("data/Trash/files/p000.jpg");
    EXPECT_TRUE(fs::exists(trashed));
    const std::string info = read_file_bytes(session.file("data/Trash/info/p000.jpg.trashinfo"));
    EXPECT_NE(info.find("Path=" + session.documents() + "/Trip%201/p000.jpg\n"), std::string::npos)
        << info;
    EXPECT_NE(info.find("DeletionDate="), std::string::npos);
    EXPECT_EQ(session.dump("after.txt").get("btnNumText").text.value_or(""), "1 2");
    const Dump grid = session.dump("grid.txt");
    ASSERT_EQ(grid.top(), "FolderScreen");
    int thumbnails = 0;
    for (const DumpLine* button : grid.all("button"))
        thumbnails += button->id.rfind("button", 0) == 0 && button->visible && button->enabled;
    EXPECT_EQ(thumbnails, 2);
}

}  // namespace
}  // namespace vistrel::test
