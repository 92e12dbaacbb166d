#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdlib>
#include <vector>

#include "platform/process.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

struct Png {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::array<int, 3> at(int x, int y) const {
        const size_t i = (size_t(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

bool read_png(const std::string& path, Png& out) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    out.width = int(image.width);
    out.height = int(image.height);
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr) != 0;
}

int run_vistrel(const std::vector<std::string>& options) {
    std::vector<std::string> args{VISTREL_PROGRAM};
    args.insert(args.end(), options.begin(), options.end());
    return run_process(args);
}

TEST(Program, HeadlessScriptWritesShotsInEveryOrientation) {
    test::TempDir dir;
    const std::string script = dir.file("session.txt");
    test::write_file(script, "frames 2\nshot " + dir.file("start.png") +
                                 "\ntap 120 160\nframes 2\nshot " + dir.file("moved.png") +
                                 "\nkey Enter\nframes 12\nshot " + dir.file("panel.png") +
                                 "\nquit\n");
    for (int orientation = 0; orientation < 4; ++orientation) {
        ASSERT_EQ(run_vistrel({"--headless", "--screen", "240x320", "--dpi", "96", "--orientation",
                               std::to_string(orientation), "--script", script}),
                  0);
        Png start, moved, panel;
        ASSERT_TRUE(read_png(dir.file("start.png"), start));
        ASSERT_TRUE(read_png(dir.file("moved.png"), moved));
        ASSERT_TRUE(read_png(dir.file("panel.png"), panel));
        // The shot is the panel as the user sees it, whatever the orientation.
        EXPECT_EQ(start.width, 240);
        EXPECT_EQ(start.height, 320);
        EXPECT_NE(start.rgb, moved.rgb) << orientation;
        // The panel opened over the tiles: its light box sits in the middle, the tiles
        // around it are dimmed.
        const auto middle = panel.at(120, 160);
        EXPECT_GT(middle[0], 200) << orientation;
        EXPECT_GT(middle[1], 200) << orientation;
    }
}

TEST(Program, SameScriptSameFrames) {
    test::TempDir dir;
    const std::string script = dir.file("s.txt");
    test::write_file(script, "drag 20 20 200 280 300\nwait 50\nshot " + dir.file("a.png") + "\n");
    ASSERT_EQ(
        run_vistrel({"--headless", "--screen", "176x220", "--smartphone", "--script", script}), 0);
    const std::string first = test::read_file_bytes(dir.file("a.png"));
    ASSERT_EQ(
        run_vistrel({"--headless", "--screen", "176x220", "--smartphone", "--script", script}), 0);
    EXPECT_EQ(first, test::read_file_bytes(dir.file("a.png")));
}

TEST(Program, BadCommandLinesAndScriptsFail) {
    test::TempDir dir;
    EXPECT_EQ(run_vistrel({"--orientation", "7"}), 2);
    const std::string script = dir.file("bad.txt");
    test::write_file(script, "tap here\n");
    EXPECT_EQ(run_vistrel({"--headless", "--script", script}), 1);
    test::write_file(script, "shot /nonexistent/folder/x.png\n");
    EXPECT_EQ(run_vistrel({"--headless", "--script", script}), 1);
}

TEST(Program, OpensARealWindowWhenADesktopIsThere) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        GTEST_SKIP() << "no desktop (run under xvfb-run to check the window)";
    test::TempDir dir;
    const std::string script = dir.file("w.txt");
    test::write_file(script, "key Down\nwait 100\nshot " + dir.file("w.png") + "\n");
    ASSERT_EQ(run_vistrel({"--screen", "240x320", "--script", script}), 0);
    Png shot;
    ASSERT_TRUE(read_png(dir.file("w.png"), shot));
    EXPECT_EQ(shot.width, 240);
}

}  // namespace
}  // namespace vistrel
