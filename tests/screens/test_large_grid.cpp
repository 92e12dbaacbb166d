// Screens wider than the device profiles: the folder grid's cells grow and fill the width,
// Ctrl with plus, minus or the wheel picks their size (kept across a restart), their
// pictures come from the cache file's smallest level, and the album list's key pictures
// grow; on a device profile the grid stays the skin's own. Also: a menu open while the
// window is resized is drawn over a picture of the new size. Headless sessions asserting
// on the dump.
#include <gtest/gtest.h>

#include <string>

#include "app_session.h"

namespace vistrel::test {
namespace {

std::string dump_step(const AppSession& session, const std::string& name) {
    return "dump " + session.file(name) + "\n";
}

// The first row of the grid: its visible buttons and the side of their images.
struct Row {
    int columns = 0;
    int image = 0;
    int right = 0;  // the right edge of the last visible button
    int sharp = 0;  // images showing a picture made from the smallest level
    int extra_buttons = 0;  // buttons beyond the skin's six
};

Row first_row(const Dump& dump) {
    Row row;
    const auto& lines = dump.lines;
    size_t at = 0;
    while (at < lines.size() && lines[at].kind != "FolderElement")
        ++at;
    if (at == lines.size()) return row;
    const int depth = lines[at].depth;
    for (size_t i = at + 1; i < lines.size() && lines[i].depth > depth; ++i) {
        const DumpLine& line = lines[i];
        if (line.kind == "button" && line.id.rfind("button", 0) == 0) {
            row.extra_buttons += std::stoi(line.id.substr(6)) >= 6;
            if (!line.visible) continue;
            ++row.columns;
            row.right = std::max(row.right, line.rect.right);
        } else if (line.id == "image" && line.visible) {
            row.image = line.rect.right - line.rect.left;
            row.sharp += line.picture == "cell";
        }
    }
    return row;
}

TEST(LargeGrid, CellsFillTheWidthAndCtrlPlusAndMinusPickTheirSize) {
    AppSession session;
    session.add_pictures("Trip", 40, 0, {640, 480});
    const std::vector<std::string> screen = {"--screen", "1920x1080",
                                             session.documents() + "/Trip"};
    const auto ctrl = [](const std::string& step) {
        return "key Ctrl down\n" + step + "key Ctrl up\nsettle 10000\n";
    };
    const std::string script =
        "settle 20000\n" + dump_step(session, "a.txt") + ctrl("key Plus\n") +
        dump_step(session, "b.txt") + ctrl("key Plus\nkey Plus\n") + dump_step(session, "c.txt") +
        ctrl("key Minus\n") + dump_step(session, "d.txt") + ctrl("wheel 900 500 -1\n") +
        dump_step(session, "e.txt") + ctrl("wheel 900 500 2\n") + dump_step(session, "f.txt") +
        "key Plus\nwheel 900 500 -1\nsettle 5000\n" + dump_step(session, "g.txt");
    ASSERT_EQ(session.run(script, screen), 0);

    const Dump first = session.dump("a.txt");
    ASSERT_EQ(first.top(), "FolderScreen");
    const Row a = first_row(first);
    EXPECT_EQ(a.image, 128);
    // The columns fill the width: another one would not fit.
    EXPECT_GT(a.columns, 6);
    EXPECT_GT(a.extra_buttons, 0);
    EXPECT_LE(a.right, 1920);
    EXPECT_GT(a.columns * a.image, 1920 - 2 * 136 - 8);
    // Every picture on screen shows its smallest level once it is read.
    EXPECT_EQ(a.sharp, a.columns);

    const Row b = first_row(session.dump("b.txt"));
    EXPECT_EQ(b.image, 192);
    EXPECT_LT(b.columns, a.columns);
    EXPECT_EQ(b.sharp, b.columns);
    // 256 is the largest size: a second step stays there.
    const Row c = first_row(session.dump("c.txt"));
    EXPECT_EQ(c.image, 256);
    EXPECT_LT(c.columns, b.columns);
    EXPECT_LE(c.right, 1920);
    EXPECT_EQ(first_row(session.dump("d.txt")).image, 192);
    EXPECT_EQ(first_row(session.dump("e.txt")).image, 128);
    EXPECT_EQ(first_row(session.dump("f.txt")).image, 192);
    // Without Ctrl, plus and the wheel leave the cells alone.
    EXPECT_EQ(first_row(session.dump("g.txt")).image, 192);

    // The size picked is there at the next start.
    ASSERT_EQ(session.run("settle 20000\n" + dump_step(session, "next.txt"), screen), 0);
    const Row next = first_row(session.dump("next.txt"));
    EXPECT_EQ(next.image, 192);
    EXPECT_EQ(next.columns, b.columns);
}

TEST(LargeGrid, ADeviceProfileKeepsTheSkinsGrid) {
    AppSession session;
    session.add_pictures("Trip", 20);
    const std::vector<std::string> screen = {"--screen", "480x640", session.documents() + "/Trip"};
    const std::string script = "settle 20000\n" + dump_step(session, "a.txt") +
                               "key Ctrl down\nkey Plus\nkey Ctrl up\nsettle 5000\n" +
                               dump_step(session, "b.txt");
    ASSERT_EQ(session.run(script, screen), 0);
    for (const char* name : {"a.txt", "b.txt"}) {
        const Dump dump = session.dump(name);
        ASSERT_EQ(dump.top(), "FolderScreen") << name;
        const Row row = first_row(dump);
        EXPECT_EQ(row.columns, 6) << name;
        EXPECT_EQ(row.image, 52) << name;
        EXPECT_EQ(row.extra_buttons, 0) << name;
        EXPECT_EQ(row.sharp, 0) << name;
        int made = 0;
        for (const DumpLine* line : dump.all("image"))
            made += line->id == "image" && line->visible && line->picture == "made";
        EXPECT_EQ(made, 20) << name;
    }
}

TEST(LargeGrid, KeyPicturesGrowOnALargeScreen) {
    AppSession session;
    session.add_pictures("Trip", 3, 0, {640, 480});
    session.add_pictures("Home", 2, 1, {640, 480});
    const std::string script =
        "settle 8000\nkey SOFT_LEFT\nsettle 20000\n" + dump_step(session, "small.txt") +
        "resize 1920 1080\nsettle 10000\n" + dump_step(session, "large.txt") +
        "resize 480 640\nsettle 10000\n" + dump_step(session, "back.txt");
    ASSERT_EQ(session.run(script), 0);
    // Grown key pictures are drawn from the smallest level ("cell"), others from the thumbnail.
    const auto key_side = [&](const std::string& name, int& count, int& row_height) {
        const std::string drawn = name == "large.txt" ? "cell" : "made";
        const Dump dump = session.dump(name);
        int side = 0;
        count = 0;
        row_height = 0;
        for (size_t i = 0; i < dump.lines.size(); ++i) {
            if (dump.lines[i].kind != "AlbumElement" || !dump.lines[i].visible) continue;
            ++count;
            row_height = dump.lines[i].rect.bottom - dump.lines[i].rect.top;
            for (size_t j = i + 1; j < dump.lines.size() && dump.lines[j].depth > dump.lines[i].depth; ++j)
                if (dump.lines[j].id == "image") {
                    side = dump.lines[j].rect.right - dump.lines[j].rect.left;
                    EXPECT_EQ(dump.lines[j].picture, drawn) << name;
                    break;
                }
        }
        return side;
    };
    int count = 0, small_row = 0, large_row = 0, back_row = 0;
    const int small = key_side("small.txt", count, small_row);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(small, 48);
    const int large = key_side("large.txt", count, large_row);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(large, 96);
    EXPECT_EQ(large_row, small_row + 48);
    EXPECT_EQ(key_side("back.txt", count, back_row), 48);
    EXPECT_EQ(back_row, small_row);
}

TEST(LargeGrid, AMenuOpenDuringAResizeIsDrawnOverTheNewSize) {
    AppSession session;
    session.add_pictures("Trip", 2);
    const std::string script = "settle 8000\nkey SOFT_RIGHT\nsettle 3000\n" +
                               dump_step(session, "open.txt") + "resize 800 600\nsettle 3000\n" +
                               dump_step(session, "wide.txt") + "resize 300 500\nsettle 3000\n" +
                               dump_step(session, "narrow.txt");
    ASSERT_EQ(session.run(script), 0);
    const Dump open = session.dump("open.txt");
    ASSERT_EQ(open.screens, 2) << "the main menu is open";
    EXPECT_EQ(open.backdrop, (Size{240, 320}));
    const Dump wide = session.dump("wide.txt");
    ASSERT_EQ(wide.screens, 2);
    EXPECT_EQ(wide.window, (Size{800, 600}));
    EXPECT_EQ(wide.backdrop, (Size{800, 600}));
    EXPECT_EQ(session.dump("narrow.txt").backdrop, (Size{300, 500}));
}

}  // namespace
}  // namespace vistrel::test
