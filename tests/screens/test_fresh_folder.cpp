// A folder the program has never seen, opened from the command line: its thumbnails show
// at once, made quickly, while several threads build the cache files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "app_session.h"
#include "jpeg_samples.h"

namespace vistrel::test {
namespace {

namespace fs = std::filesystem;

struct LibraryLine {
    int threads = -1;
    int at_once = -1;
    int built = -1;
};

LibraryLine library_line(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    const std::string all = text.str();
    std::smatch match;
    LibraryLine out;
    if (std::regex_search(all, match,
                          std::regex("library threads=(\\d+) at_once=(\\d+) built=(\\d+)"))) {
        out.threads = std::stoi(match[1]);
        out.at_once = std::stoi(match[2]);
        out.built = std::stoi(match[3]);
    }
    return out;
}

// The pictures the visible grid shows, by name.
std::vector<std::string> shown(const Dump& dump) {
    std::vector<std::string> out;
    for (const DumpLine* line : dump.all("image"))
        if (line->id == "image" && line->visible) out.push_back(line->picture);
    return out;
}

TEST(FolderScreen, AFreshFolderShowsQuickThumbnailsWhileSeveralThreadsBuild) {
    constexpr int kPictures = 8;
    AppSession session;
    const fs::path folder = fs::path(session.documents()) / "Fresh";
    fs::create_directories(folder);
    // One picture large enough that its build takes a while, copied with a time of its own
    // for each copy, so that each needs a cache file of its own.
    JpegOptions options;
    options.width = 3200;
    options.height = 2400;
    options.smooth = true;
    const std::vector<uint8_t> jpeg = make_jpeg(options);
    const auto now = fs::file_time_type::clock::now();
    for (int i = 0; i < kPictures; ++i) {
        const fs::path file = folder / ("p" + std::to_string(i) + ".jpg");
        write_bytes(file.string(), jpeg);
        fs::last_write_time(file, now - std::chrono::hours(i + 1));
    }
    // A dump every 20 ms of real time while the quick thumbnails and the builds go on.
    constexpr int kDumps = 200;
    std::string script = "frames 1\n";
    for (int i = 0; i < kDumps; ++i)
        script += "sleep 20\ndump " + session.file("d" + std::to_string(i) + ".txt") + "\n";
    script += "settle 60000\ndump " + session.file("end.txt") + "\n";
    ASSERT_EQ(session.run(script, {folder.string()}), 0);

    // The first time every thumbnail on screen shows something, only the builds that began
    // before the first quick thumbnail was asked for (one a thread) may have ended: every
    // other picture shows its quick thumbnail, made while it had no cache file.
    const int threads = library_line(session.file("end.txt")).threads;
    bool all_shown = false;
    std::string last;  // what the last dump showed, for the failure message
    for (int i = 0; i < kDumps && !all_shown; ++i) {
        const std::string file = session.file("d" + std::to_string(i) + ".txt");
        const Dump dump = session.dump("d" + std::to_string(i) + ".txt");
        last = dump.top() + " built=" + std::to_string(library_line(file).built);
        const std::vector<std::string> pictures = shown(dump);
        for (const std::string& picture : pictures)
            last += " " + picture;
        if (dump.top() != "FolderScreen") continue;
        if (pictures.size() != size_t(kPictures) ||
            std::count(pictures.begin(), pictures.end(), "loading") > 0)
            continue;
        all_shown = true;
        SCOPED_TRACE(file);
        const int quick = int(std::count(pictures.begin(), pictures.end(), "quick"));
        const int built = library_line(file).built;
        EXPECT_GE(quick, kPictures - threads);
        EXPECT_LE(built, threads);
        EXPECT_EQ(quick + built, kPictures);
    }
    EXPECT_TRUE(all_shown) << last;

    // Then the cache files' thumbnails replace them, built on several threads at once.
    const Dump end = session.dump("end.txt");
    ASSERT_EQ(end.top(), "FolderScreen");
    EXPECT_EQ(shown(end), std::vector<std::string>(kPictures, "made"));
    const LibraryLine library = library_line(session.file("end.txt"));
    EXPECT_EQ(library.built, kPictures);
    const int processors = int(std::max(1u, std::thread::hardware_concurrency()));
    EXPECT_EQ(library.threads, std::min(processors, 8));
    if (processors > 1)
        EXPECT_GT(library.at_once, 1);
    else
        EXPECT_EQ(library.at_once, 1);
}

}  // namespace
}  // namespace vistrel::test
