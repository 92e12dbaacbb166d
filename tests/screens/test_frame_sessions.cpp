// The slide show as a photo frame plays it: shuffled, and over folders that change while
// it runs; scripted headless sessions asserting on the files the dump names.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <filesystem>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app_session.h"
#include "jpeg_samples.h"

namespace vistrel::test {
namespace {

// A script that dumps the screens every `interval` ms, `count` times, into d0.txt ...
std::string sampling(const AppSession& session, int count, int interval) {
    std::string script;
    for (int i = 0; i < count; ++i)
        script += "dump " + session.file("d" + std::to_string(i) + ".txt") + "\nwait " +
                  std::to_string(interval) + "\n";
    return script;
}

// The pictures the samples showed in front, each once for as long as it stayed.
std::vector<std::string> shown_in_turn(const AppSession& session, int count) {
    std::vector<std::string> shown;
    for (int i = 0; i < count; ++i) {
        const std::string file = session.dump("d" + std::to_string(i) + ".txt").shown_file();
        if (!file.empty() && (shown.empty() || shown.back() != file)) shown.push_back(file);
    }
    return shown;
}

std::string number_of(const Dump& dump) {
    return dump.get("btnNumText").text.value_or("");
}

std::set<std::string> as_set(const std::vector<std::string>& files, size_t from, size_t count) {
    return {files.begin() + std::ptrdiff_t(from), files.begin() + std::ptrdiff_t(from + count)};
}

// The names the deck file keeps as dealt in this round.
std::set<std::string> dealt_names(const std::string& deck) {
    std::set<std::string> names;
    std::istringstream in(deck);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("dealt ", 0) == 0) names.insert(line.substr(6));
    return names;
}

TEST(FrameShow, AShuffledShowDealsEveryPictureOnceARoundAndGoesOnAfterARestart) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 4);
    const std::set<std::string> all(pictures.begin(), pictures.end());
    const std::vector<std::string> options = {"--slideshow", session.documents() + "/Trip",
                                              "--loop", "--shuffle"};
    // A slide stays three seconds: 56 samples half a second apart see about nine of them.
    constexpr int kSamples = 56;
    ASSERT_EQ(session.run(sampling(session, kSamples, 500), options), 0);
    const std::vector<std::string> shown = shown_in_turn(session, kSamples);
    ASSERT_GE(shown.size(), 8u);
    EXPECT_EQ(as_set(shown, 0, 4), all);
    EXPECT_EQ(as_set(shown, 4, 4), all);
    EXPECT_NE(shown[3], shown[4]);

    // The next run deals the rest of the round first.
    const std::set<std::string> dealt = dealt_names(test::read_file_bytes(session.app() + "/shuffle.txt"));
    ASSERT_FALSE(dealt.empty());
    ASSERT_EQ(session.run(sampling(session, 20, 500), options), 0);
    const std::vector<std::string> again = shown_in_turn(session, 20);
    if (dealt.size() < 4) {
        const size_t rest = 4 - dealt.size();
        ASSERT_GE(again.size(), rest);
        for (size_t i = 0; i < rest; ++i) {
            const std::string name = again[i].substr(again[i].rfind('/') + 1);
            EXPECT_FALSE(dealt.count(name)) << name << " came twice in a round";
        }
        EXPECT_EQ(as_set(again, 0, rest).size(), rest);
    }
}

// A figure of a `stats` report ("name: value unit"), or -1.
double stat(const std::string& report, const std::string& name) {
    const size_t at = report.find(name + ": ");
    return at == std::string::npos ? -1 : std::atof(report.c_str() + at + name.size() + 2);
}

TEST(FrameShow, AStillSlideShowTakesFrameStepsOnlyAroundItsSlides) {
    AppSession session;
    session.add_pictures("Trip", 4);
    // Ten seconds of a show: three slides or four, each a scroll and the tiles of the next.
    constexpr int kSamples = 10;
    const std::string script = "settle 20000\nstats " + session.file("s0.txt") + " reset\n" +
                               sampling(session, kSamples, 1000) + "stats " +
                               session.file("s1.txt") + "\n";
    ASSERT_EQ(session.run(script, {"--slideshow", session.documents() + "/Trip", "--loop"}), 0);
    const std::vector<std::string> shown = shown_in_turn(session, kSamples);
    EXPECT_GE(shown.size(), 3u);
    EXPECT_LE(shown.size(), 5u);
    // Stepping at the frame rate took a thousand steps in these ten seconds.
    const double steps = stat(test::read_file_bytes(session.file("s1.txt")), "frame_steps");
    EXPECT_GT(steps, 0);
    EXPECT_LT(steps, 500);
}

TEST(FrameShow, TheOverlayShowsWhenAPictureWasTakenAndItsCaption) {
    AppSession session({"LongDate={weekday} {day} {month} {year}",
                        "MonthNames=Jan,Feb,Mar,Apr,May,Jun,Jul,Aug,Sep,Oct,Nov,Dec",
                        "DayNames=Sun,Mon,Tue,Wed,Thu,Fri,Sat"});
    const std::string folder = session.documents() + "/Harbour";
    std::filesystem::create_directories(folder);
    write_bytes(folder + "/a.jpg", with_segments({{0xE1, exif("Boats", "2019:07:14 06:31:02")}}));
    // No metadata: the file's time (noon, the same day in any time zone) and the album.
    write_bytes(folder + "/b.jpg", with_segments({}));
    const time_t noon = 981201600;  // 3 February 2001, 12:00 UTC
    const timespec times[2] = {{noon, 0}, {noon, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (folder + "/b.jpg").c_str(), times, 0), 0);
    const std::string script = "settle 20000\ndump " + session.file("a.txt") +
                               "\nkey Right\nsettle 20000\ndump " + session.file("b.txt") + "\n";
    ASSERT_EQ(session.run(script, {folder + "/a.jpg", "--overlay", "date,caption"}), 0);
    const Dump first = session.dump("a.txt");
    ASSERT_EQ(first.shown_file(), folder + "/a.jpg");
    EXPECT_TRUE(first.get("overlay").visible);
    EXPECT_EQ(first.get("overlay_date").text.value_or(""), "Sun 14 Jul 2019");
    EXPECT_EQ(first.get("overlay_caption").text.value_or(""), "Boats");
    const Dump second = session.dump("b.txt");
    ASSERT_EQ(second.shown_file(), folder + "/b.jpg");
    EXPECT_EQ(second.get("overlay_date").text.value_or(""), "Sat 3 Feb 2001");
    EXPECT_EQ(second.get("overlay_caption").text.value_or(""), "Harbour");

    // Only the date, and by default nothing.
    ASSERT_EQ(session.run("settle 20000\ndump " + session.file("c.txt") + "\n",
                          {folder + "/a.jpg", "--overlay", "date"}),
              0);
    EXPECT_TRUE(session.dump("c.txt").get("overlay_date").visible);
    EXPECT_FALSE(session.dump("c.txt").get("overlay_caption").visible);
    ASSERT_EQ(session.run("settle 20000\ndump " + session.file("d.txt") + "\n", {folder + "/a.jpg"}), 0);
    EXPECT_FALSE(session.dump("d.txt").get("overlay").visible);
}

// Waits (at most a minute) until the running session has written `file`.
bool wait_for_file(const std::string& file) {
    for (int i = 0; i < 6000; ++i) {
        if (std::filesystem::exists(file)) return true;
        usleep(10000);
    }
    return false;
}

TEST(FrameShow, PicturesCopiedInOrRemovedJoinOrLeaveTheShownFolder) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 2);
    const std::string folder = session.documents() + "/Trip";
    const std::string script = "settle 20000\ndump " + session.file("d1.txt") + "\nsleep 2500\ndump " +
                               session.file("d2.txt") + "\nsleep 2500\ndump " +
                               session.file("d3.txt") + "\nkey Right\nsettle 10000\ndump " +
                               session.file("d4.txt") + "\n";
    const int pid = session.start(script, {pictures[0]});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_for_file(session.file("d1.txt")));
    // A picture copied in while the first dump is written; one removed after the second.
    write_bytes(folder + "/p005.jpg", with_segments({}));
    const bool second = wait_for_file(session.file("d2.txt"));
    std::filesystem::remove(pictures[1]);
    ASSERT_EQ(wait_for(pid), 0);
    ASSERT_TRUE(second);
    EXPECT_EQ(number_of(session.dump("d1.txt")), "1 2");
    EXPECT_EQ(number_of(session.dump("d2.txt")), "1 3");
    const Dump after = session.dump("d3.txt");
    EXPECT_EQ(number_of(after), "1 2");
    EXPECT_EQ(after.shown_file(), pictures[0]);
    EXPECT_EQ(after.get("right", "bigpicture").file, folder + "/p005.jpg");
    EXPECT_EQ(session.dump("d4.txt").shown_file(), folder + "/p005.jpg");
}

// The pictures the folder grid shows: its thumbnail buttons in use (empty places are
// shown disabled).
int grid_pictures(const Dump& dump) {
    int count = 0;
    for (const DumpLine* line : dump.all("button"))
        count += line->id.rfind("button", 0) == 0 && line->visible && line->enabled;
    return count;
}

TEST(FrameShow, TheFolderGridFollowsItsFolderWithoutTheViewer) {
    AppSession session;
    const std::vector<std::string> pictures = session.add_pictures("Trip", 2);
    const std::string folder = session.documents() + "/Trip";
    const std::string script = "settle 20000\ndump " + session.file("g1.txt") + "\nsleep 2500\ndump " +
                               session.file("g2.txt") + "\nsleep 2500\ndump " +
                               session.file("g3.txt") + "\n";
    const int pid = session.start(script, {folder});
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(wait_for_file(session.file("g1.txt")));
    write_bytes(folder + "/p005.jpg", with_segments({}));
    const bool second = wait_for_file(session.file("g2.txt"));
    std::filesystem::remove(pictures[0]);
    ASSERT_EQ(wait_for(pid), 0);
    ASSERT_TRUE(second);
    for (const char* name : {"g1.txt", "g2.txt", "g3.txt"})
        EXPECT_EQ(session.dump(name).top(), "FolderScreen") << name;
    EXPECT_EQ(grid_pictures(session.dump("g1.txt")), 2);
    EXPECT_EQ(grid_pictures(session.dump("g2.txt")), 3);
    EXPECT_EQ(grid_pictures(session.dump("g3.txt")), 2);
}

}  // namespace
}  // namespace vistrel::test
