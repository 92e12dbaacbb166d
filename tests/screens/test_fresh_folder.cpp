// A folder the program has never seen, opened from the command line: its thumbnails show
// at once, made quickly, before any cache file exists; then several threads build them.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>

#include "app_session.h"
#include "jpeg_samples.h"
#include "library/folder_list.h"
#include "library/formats/picture_source.h"
#include "platform/text.h"

namespace vistrel::test {
namespace {

namespace fs = std::filesystem;

struct LibraryLine {
    int threads = -1;
    int at_once = -1;
    int built = -1;
    int quick = -1;  // quick thumbnails asked for
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
    if (std::regex_search(all, match, std::regex("library .* quick=(\\d+)")))
        out.quick = std::stoi(match[1]);
    return out;
}

// The pictures the visible grid of the top screen shows, by name (the album screen below
// shows its key pictures in elements of the same id).
std::vector<std::string> shown(const Dump& dump) {
    std::vector<std::string> out;
    for (const DumpLine* line : dump.all("image"))
        if (line->id == "image" && line->visible && line->depth / 1000 == dump.screens)
            out.push_back(line->picture);
    return out;
}

TEST(FolderScreen, AFreshFolderShowsQuickThumbnailsBeforeAnyCacheFileExists) {
    constexpr int kPictures = 8;
    AppSession session;
    // The builds are held from the start until the script lets them go, so that what the
    // screen shows before any cache file exists is seen whatever the machine's speed: the
    // quick thumbnails must come without a build. (That they also come before the builds
    // when nothing is held is the library's own test, QuickThumbnailsAskedForAreMadeBeforeAnyBuild.)
    write_file(session.file("settings.reg"),
               "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"HoldBuilds\"=dword:00000001\n");
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
    // A dump every 20 ms of real time while the quick thumbnails are made, then the builds.
    constexpr int kDumps = 100;
    std::string script = "frames 1\n";
    for (int i = 0; i < kDumps; ++i)
        script += "sleep 20\ndump " + session.file("d" + std::to_string(i) + ".txt") + "\n";
    script += "builds go\nsettle 60000\ndump " + session.file("end.txt") + "\n";
    ASSERT_EQ(session.run(script, {folder.string()}), 0);

    // Every thumbnail on screen shows its quick thumbnail while no cache file exists.
    bool all_shown = false;
    std::string last;  // what the last dump showed, for the failure message
    for (int i = 0; i < kDumps; ++i) {
        const std::string file = session.file("d" + std::to_string(i) + ".txt");
        const Dump dump = session.dump("d" + std::to_string(i) + ".txt");
        const int built = library_line(file).built;
        last = dump.top() + " built=" + std::to_string(built);
        const std::vector<std::string> pictures = shown(dump);
        for (const std::string& picture : pictures)
            last += " " + picture;
        EXPECT_EQ(built, 0) << file;
        if (all_shown || dump.top() != "FolderScreen" || pictures.size() != size_t(kPictures) ||
            std::count(pictures.begin(), pictures.end(), "loading") > 0)
            continue;
        all_shown = true;
        EXPECT_EQ(pictures, std::vector<std::string>(kPictures, "quick")) << file;
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

// A fresh folder named on the command line: the quick thumbnails of the pictures its grid
// shows first are asked for before the splash's first frame, the splash's builder waiting
// meanwhile, and those pictures show them when the grid is shown.
TEST(FolderScreen, AFreshFolderOnTheCommandLineAsksItsQuickThumbnailsDuringTheSplash) {
    constexpr int kPictures = 60;
    AppSession session;
    write_file(session.file("settings.reg"),
               "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"HoldBuilds\"=dword:00000001\n");
    session.add_pictures("Fresh", kPictures, 0, {640, 480});
    constexpr int kDumps = 60;
    std::string script = "frames 1\ndump " + session.file("first.txt") + "\n";
    for (int i = 0; i < kDumps; ++i)
        script += "sleep 50\ndump " + session.file("d" + std::to_string(i) + ".txt") + "\n";
    ASSERT_EQ(session.run(script, {session.documents() + "/Fresh"}), 0);

    const Dump first = session.dump("first.txt");
    EXPECT_NE(first.top(), "FolderScreen");
    EXPECT_NE(first.top(), "AlbumScreen");
    const int asked = library_line(session.file("first.txt")).quick;
    // A screen of pictures, not the whole folder.
    EXPECT_LT(asked, kPictures);
    std::vector<std::string> pictures;
    for (int i = 0; i < kDumps; ++i) {
        const std::string name = "d" + std::to_string(i) + ".txt";
        const Dump dump = session.dump(name);
        EXPECT_EQ(library_line(session.file(name)).built, 0) << name;
        pictures = shown(dump);
        if (dump.top() == "FolderScreen" && !pictures.empty() &&
            std::count(pictures.begin(), pictures.end(), "quick") ==
                std::ptrdiff_t(pictures.size()))
            break;
    }
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(std::count(pictures.begin(), pictures.end(), "quick"),
              std::ptrdiff_t(pictures.size()));
    // Those on screen were asked for ahead, at most a row more.
    EXPECT_GE(asked, int(pictures.size()));
    EXPECT_LE(asked, int(pictures.size()) + 6);
}

// The dump of every frame step of a session: "frames 1" and a dump, `steps` times.
std::string dump_every_frame(const AppSession& session, int steps) {
    std::string script;
    for (int i = 0; i < steps; ++i)
        script += "frames 1\ndump " + session.file("f" + std::to_string(i) + ".txt") + "\n";
    return script;
}

// A folder whose cache files are all valid, opened again from the command line: every
// thumbnail on screen is shown by the third frame of the folder screen, the first being
// drawn as the screen opens, though loading all of them takes more than a frame's usual
// loading time. (Sanitized builds load so slowly that the most time a frame may spend
// spreads the loading over more frames.)
TEST(FolderScreen, ACachedFolderFillsWithinThreeFrames) {
    constexpr int kFrames = VISTREL_SANITIZED ? 12 : 3;
    AppSession session;
    constexpr int kPictures = 100;
    session.add_pictures("Cached", kPictures);
    // Over 60 pictures on screen.
    const std::vector<std::string> options = {"--screen", "800x640",
                                              session.documents() + "/Cached"};
    // The first start builds every cache file.
    ASSERT_EQ(session.run("settle 60000\ndump " + session.file("built.txt") + "\n", options), 0);
    ASSERT_EQ(library_line(session.file("built.txt")).built, kPictures);

    constexpr int kSteps = 400;
    ASSERT_EQ(session.run(dump_every_frame(session, kSteps), options), 0);
    int first = -1;
    for (int i = 0; i < kSteps && first < 0; ++i)
        if (session.dump("f" + std::to_string(i) + ".txt").top() == "FolderScreen") first = i;
    ASSERT_GE(first, 0);
    ASSERT_LT(first + kFrames - 1, kSteps);
    const std::string third = "f" + std::to_string(first + kFrames - 1) + ".txt";
    const std::vector<std::string> pictures = shown(session.dump(third));
    EXPECT_GT(pictures.size(), 60u) << third;
    EXPECT_EQ(std::count(pictures.begin(), pictures.end(), "made"), std::ptrdiff_t(pictures.size()))
        << third << ": thumbnails shown of those on screen";
    // Nothing was built again.
    EXPECT_EQ(library_line(session.file(third)).built, 0);
}

// Albums whose key pictures have no cache file show their quick thumbnails, made while
// no build may start, then their cache files' thumbnails once built.
TEST(AlbumScreen, KeyPicturesWithoutACacheFileShowQuickThumbnails) {
    constexpr int kAlbums = 3;
    AppSession session;
    write_file(session.file("settings.reg"),
               "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"HoldBuilds\"=dword:00000001\n");
    std::vector<Folder> folders;
    for (int i = 0; i < kAlbums; ++i) {
        const std::string name = "Album" + std::to_string(i);
        session.add_pictures(name, 2, i, {640, 480});
        const std::u16string folder = u"%my_documents%/" + from_utf8(name) + u"/";
        folders.push_back({u"%my_documents%/", folder, folder + u"p000.jpg", 2});
    }
    ASSERT_TRUE(save_folders(from_utf8(session.app() + "/folders.ini"), folders));
    constexpr int kDumps = 40;
    std::string script;
    for (int i = 0; i < kDumps; ++i)
        script += "sleep 50\ndump " + session.file("d" + std::to_string(i) + ".txt") + "\n";
    script += "builds go\nsettle 30000\ndump " + session.file("end.txt") + "\n";
    ASSERT_EQ(session.run(script), 0);

    bool all_quick = false;
    std::string last;
    for (int i = 0; i < kDumps && !all_quick; ++i) {
        const std::string name = "d" + std::to_string(i) + ".txt";
        const Dump dump = session.dump(name);
        EXPECT_EQ(library_line(session.file(name)).built, 0) << name;
        const std::vector<std::string> pictures = shown(dump);
        last = dump.top();
        for (const std::string& picture : pictures)
            last += " " + picture;
        all_quick = dump.top() == "AlbumScreen" && pictures.size() == size_t(kAlbums) &&
                    pictures == std::vector<std::string>(kAlbums, "quick");
    }
    EXPECT_TRUE(all_quick) << last;
    const Dump end = session.dump("end.txt");
    ASSERT_EQ(end.top(), "AlbumScreen");
    EXPECT_EQ(shown(end), std::vector<std::string>(kAlbums, "made"));
}

// A screenshot's RGB pixels, read back through the program's own PNG reader.
struct Shot {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* at(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

Shot read_shot(const std::string& file) {
    Shot shot;
    std::unique_ptr<PictureSource> source = open_picture_source(from_utf8(file));
    if (!source) return shot;
    shot.width = source->width();
    shot.height = source->height();
    shot.rgb.resize(size_t(shot.width) * size_t(shot.height) * 3);
    for (int y = 0; y < shot.height; ++y)
        if (!source->read_row(&shot.rgb[size_t(y) * size_t(shot.width) * 3])) return {};
    return shot;
}

// How much neighbouring pixels of rows [top, bottom) differ, on average: fine detail.
double detail(const Shot& shot, int top, int bottom) {
    double sum = 0;
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x + 1 < shot.width; ++x, ++count)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(shot.at(x, y)[c]) - int(shot.at(x + 1, y)[c]));
    return count ? sum / count : 0;
}

// How far two shots differ once fine detail is averaged away (8 x 8 blocks of rows
// [top, bottom)): where the picture lies on screen.
double layout_difference(const Shot& a, const Shot& b, int top, int bottom) {
    double sum = 0;
    int count = 0;
    for (int by = top; by + 8 <= bottom; by += 8)
        for (int bx = 0; bx + 8 <= a.width; bx += 8, ++count)
            for (int c = 0; c < 3; ++c) {
                int sa = 0, sb = 0;
                for (int y = by; y < by + 8; ++y)
                    for (int x = bx; x < bx + 8; ++x) {
                        sa += a.at(x, y)[c];
                        sb += b.at(x, y)[c];
                    }
                sum += std::abs(sa - sb) / 64.0;
            }
    return count ? sum / count : 1e9;
}

// A picture larger than the screen, a colour a quarter with every other column darker,
// opened from the command line with the builds held: it shows at screen size from the
// picture itself, is zoomed to full size and moved, and keeps that zoom and place when
// its cache file arrives, then showing the picture's own columns from the cache file.
TEST(ImageViewer, AnUncachedPictureShowsAtOnceThenKeepsZoomAndPlaceWhenItsCacheArrives) {
    constexpr int kWidth = 3200, kHeight = 2400;
    AppSession session;
    write_file(session.file("settings.reg"),
               "[HKEY_CURRENT_USER\\Software\\TEKU\\Vistrel]\n\"HoldBuilds\"=dword:00000001\n");
    const uint8_t quarters[4][3] = {{200, 40, 40}, {40, 200, 40}, {40, 40, 200}, {200, 200, 40}};
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const uint8_t* colour = quarters[(y >= kHeight / 2) * 2 + (x >= kWidth / 2)];
            uint8_t* p = &rgb[(size_t(y) * kWidth + size_t(x)) * 3];
            for (int c = 0; c < 3; ++c)
                p[c] = uint8_t(x % 2 ? colour[c] / 2 : colour[c]);
        }
    const fs::path folder = fs::path(session.documents()) / "Big";
    fs::create_directories(folder);
    const std::string picture = (folder / "big.jpg").string();
    write_bytes(picture, encode_rgb(rgb, kWidth, kHeight, 95));
    rgb = {};
    const auto shot_and_dump = [&](const std::string& name) {
        return "shot " + session.file(name + ".png") + "\ndump " + session.file(name + ".txt") + "\n";
    };
    // Held builds: settle would wait for them, so real time passes instead.
    constexpr int kShots = 16;
    std::string script;
    for (int i = 0; i < kShots; ++i)
        script += "sleep 250\n" + shot_and_dump("fit" + std::to_string(i));
    script += "key 1\nsleep 1500\ndrag 120 160 70 110 400\nsleep 1500\n" +
              shot_and_dump("zoomed") + "builds go\nsettle 30000\n" + shot_and_dump("cached");
    ASSERT_EQ(session.run(script, {picture}), 0);

    // At screen size, with no cache file: the 4:3 picture across the 240-wide screen, its
    // quarters around the screen's middle.
    bool shown = false;
    for (int i = 0; i < kShots && !shown; ++i) {
        const std::string name = "fit" + std::to_string(i);
        const Dump fit = session.dump(name + ".txt");
        EXPECT_EQ(library_line(session.file(name + ".txt")).built, 0);
        const Shot shot = read_shot(session.file(name + ".png"));
        if (fit.top() != "ImageViewer" || shot.width < 240) continue;
        const uint8_t* top_left = shot.at(shot.width / 2 - 40, shot.height / 2 - 30);
        const uint8_t* bottom_right = shot.at(shot.width / 2 + 40, shot.height / 2 + 30);
        if (top_left[0] < 100 && bottom_right[1] < 100) continue;  // not decoded yet
        shown = true;
        SCOPED_TRACE(name);
        const DumpLine& view = fit.get("center", "bigpicture");
        EXPECT_NEAR(view.number("zoom"), view.number("fit"), 1e-3);
        EXPECT_GT(top_left[0], 2 * top_left[1]) << "red quarter";
        EXPECT_GT(bottom_right[1], 2 * bottom_right[2]) << "yellow quarter";
    }
    EXPECT_TRUE(shown);

    // Zoomed to full size and moved, still without a cache file; then the cache file
    // arrives: the same zoom and place, the columns apart.
    const Dump zoomed = session.dump("zoomed.txt");
    EXPECT_EQ(library_line(session.file("zoomed.txt")).built, 0);
    const DumpLine& zoomed_view = zoomed.get("center", "bigpicture");
    const double zoom = zoomed_view.number("zoom");
    EXPECT_NEAR(zoom, zoomed_view.number("full"), 1e-3);
    const Dump cached = session.dump("cached.txt");
    EXPECT_EQ(library_line(session.file("cached.txt")).built, 1);
    EXPECT_NEAR(cached.get("center", "bigpicture").number("zoom"), zoom, 1e-3);
    const Shot before = read_shot(session.file("zoomed.png"));
    const Shot after = read_shot(session.file("cached.png"));
    ASSERT_EQ(before.width, after.width);
    ASSERT_EQ(before.height, after.height);
    // The rows between the viewer's bars: the moved place shows the corner of three
    // quarters, where it was.
    const int top = before.height / 4, bottom = before.height * 3 / 4;
    EXPECT_LT(layout_difference(before, after, top, bottom), 12.0);
    // Neighbouring columns differ by half their colour: about 130 over three channels.
    EXPECT_GT(detail(after, top, bottom), 100);
}

}  // namespace
}  // namespace vistrel::test
