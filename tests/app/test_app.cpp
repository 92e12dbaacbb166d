// The program's start-up and end: its trace lines, its messages when languages or skins are
// missing, its shots in every orientation and its exit codes.

#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <filesystem>

#include "app_session.h"
#include "platform/process.h"
#include "platform/text.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::AppSession;

bool png_size(const std::string& path, int& width, int& height) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    width = int(image.width);
    height = int(image.height);
    png_image_free(&image);
    return true;
}

std::string utf16_file_text(const std::string& path) {
    const std::string bytes = test::read_file_bytes(path);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8));
    return to_utf8(text);
}

TEST(Program, StartsInOrderAndEndsInReverse) {
    AppSession session;
    test::write_file(session.file("settings.reg"),
                     "[HKEY_CURRENT_USER\\Software\\TEKU]\n\"Log\"=dword:00000001\n");
    test::ScopedEnv temp("TMPDIR", session.file("runtime"));
    ASSERT_EQ(session.run("settle 8000\n"), 0);
    const std::string trace = utf16_file_text(session.file("runtime/vistrel.txt"));
    size_t at = 0;
    for (const char* line :
         {"WinMain 0", "WindMain 1", "WinMain 2", "WinMain 3", "WinMain 4", "WinMain 5",
          "WinMain 6", "WinMain 7", "WinMain 9", "WinMain 10", "WinMain 11", "WinMain 12",
          "WinMain 13", "WinMain 14", "WinMain 8", "Application::~Application()"}) {
        const size_t found = trace.find(line, at);
        ASSERT_NE(found, std::string::npos) << line;
        at = found;
    }
    EXPECT_NE(trace.find("album form"), std::string::npos);
    EXPECT_NE(trace.find("folder form"), std::string::npos);
}

// Without the file `missing` of its folder the program shows `message` and ends with 0.
void expect_message_without(const AppSession& session, const std::string& missing,
                            const std::string& message) {
    fs::remove(session.app() + "/" + missing);
    const test::CommandResult result =
        test::run_program(session.app() + "/vistrel", {"--headless"});
    EXPECT_EQ(result.status, 0);
    EXPECT_NE(result.out.find(message), std::string::npos) << result.out;
}

TEST(Program, WithoutLanguagesOrSkinsItSaysSoAndEnds) {
    expect_message_without(AppSession(), "english.lng", "No languages, please reinstall");
    expect_message_without(AppSession({"NoSkins=There is no skin"}), "skins/bin/default.skin",
                           "There is no skin");
}

TEST(Program, ShotsShowTheScreenInEveryOrientation) {
    AppSession session;
    for (int orientation = 0; orientation < 4; ++orientation) {
        const std::string shot = session.file("o" + std::to_string(orientation) + ".png");
        ASSERT_EQ(session.run("settle 8000\nshot " + shot + "\n",
                              {"--orientation", std::to_string(orientation)}),
                  0);
        int width = 0, height = 0;
        ASSERT_TRUE(png_size(shot, width, height));
        EXPECT_EQ(width, 240);
        EXPECT_EQ(height, 320);
    }
    // A still first start gives the same frame every time.
    ASSERT_EQ(session.run("settle 8000\nshot " + session.file("again.png") + "\n"), 0);
    EXPECT_EQ(test::read_file_bytes(session.file("o0.png")),
              test::read_file_bytes(session.file("again.png")));
}

// The same program in a real window, where there is a desktop (the tests run under
// xvfb-run without one).
TEST(Program, OpensARealWindowWhenADesktopIsThere) {
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
        GTEST_SKIP() << "no desktop (run under xvfb-run to check the window)";
    AppSession session;
    const std::string shot = session.file("window.png");
    std::vector<std::string> args = session.command("settle 8000\nshot " + shot + "\n", {});
    args.erase(std::find(args.begin(), args.end(), "--headless"));
    ASSERT_EQ(run_process(args), 0);
    int width = 0, height = 0;
    ASSERT_TRUE(png_size(shot, width, height));
    EXPECT_EQ(width, 240);
    EXPECT_EQ(height, 320);
}

std::string stat_line(const std::string& stats, const std::string& name) {
    const size_t at = stats.find(name + ": ");
    if (at == std::string::npos) return {};
    return stats.substr(at, stats.find('\n', at) - at);
}

TEST(Program, StatsReportFramesAndAStillScreenDrawsNothing) {
    AppSession session;
    ASSERT_EQ(session.run("settle 8000\nstats " + session.file("a.txt") + "\nframes 100\nstats " +
                          session.file("b.txt") + "\n"),
              0);
    const std::string a = test::read_file_bytes(session.file("a.txt"));
    const std::string b = test::read_file_bytes(session.file("b.txt"));
    for (const char* name : {"frames_drawn", "frame_steps", "frame_cpu_median", "frame_cpu_p95",
                             "frame_cpu_max", "ui_thread_cpu", "peak_resident"})
        EXPECT_FALSE(stat_line(b, name).empty()) << name;
    EXPECT_NE(stat_line(a, "frames_drawn"), "frames_drawn: 0 frames");
    EXPECT_EQ(stat_line(a, "frames_drawn"), stat_line(b, "frames_drawn"));
    EXPECT_NE(stat_line(a, "frame_steps"), stat_line(b, "frame_steps"));
}

TEST(Program, BadCommandLinesAndScriptsFail) {
    AppSession session;
    const std::string program = session.app() + "/vistrel";
    EXPECT_EQ(run_process({program, "--orientation", "7"}), 2);
    EXPECT_EQ(run_process({program, "one", "two"}), 2);
    EXPECT_EQ(session.run("tap here\n"), 1);
    EXPECT_EQ(session.run("settle x\n"), 1);
    EXPECT_EQ(session.run("shot /nonexistent/folder/x.png\n"), 1);
    EXPECT_EQ(session.run("dump /nonexistent/folder/x.txt\n"), 1);
}


TEST(Program, AFrameShowsOnItsFrameBufferOrEndsSayingWhy) {
    AppSession session;
    EXPECT_EQ(session.run("settle\n", {"--framebuffer", session.file("no-fb")}), 1);
    EXPECT_EQ(session.run("settle\n", {"--framebuffer", session.documents()}), 1);
    // A file standing in for a 240 x 320 panel gets the frames; a wrong schedule leaves the
    // screen on.
    const std::string fb = session.file("fb");
    test::write_file(fb, std::string(240 * 320 * 2, '\0'));
    ASSERT_EQ(session.run("settle\n", {"--screen", "240x320", "--framebuffer", fb, "--screen-on",
                                       "mon-fri 7:00"}),
              0);
    const std::string bytes = test::read_file_bytes(fb);
    EXPECT_EQ(bytes.size(), 240u * 320 * 2);
    EXPECT_NE(bytes.find_first_not_of('\0'), std::string::npos);
}

}  // namespace
}  // namespace vistrel
