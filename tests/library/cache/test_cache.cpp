// Cache files: names, the layout of what build_cache_file writes, the failure marker, the
// thumbnail loaded from it, and the clean-up of stale entries.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <ctime>
#include <filesystem>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_cleanup.h"
#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/orientation.h"
#include "platform/path_parts.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::JpegOptions;

class CacheTest : public ::testing::Test {
protected:
    std::u16string picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        return from_utf8(m_dir.file(name));
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }
    test::TempDir m_dir;
};

TEST_F(CacheTest, NamesFromSizeAndLocalTime) {
    test::ScopedEnv zone("TZ", "UTC");
    tzset();
    const std::u16string path = picture("a.jpg", std::vector<uint8_t>(123456, 1));
    tm when{};
    when.tm_year = 2021 - 1900;
    when.tm_mon = 3;
    when.tm_mday = 28;
    when.tm_hour = 13;
    when.tm_min = 5;
    when.tm_sec = 7;
    const timespec times[2] = {{timegm(&when), 250000000}, {timegm(&when), 250000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, m_dir.file("a.jpg").c_str(), times, 0), 0);
    EXPECT_EQ(cache_file_name(path, drive()), m_dir.u16() + u"/!vistrelcache/1234564281357.250000");
    EXPECT_EQ(cache_file_name(path, m_dir.u16()),
              m_dir.u16() + u"/!vistrelcache/1234564281357.250000");
    EXPECT_EQ(cache_file_name(from_utf8(m_dir.file("missing.jpg")), drive()), u"");
    // From a size and time read elsewhere (a folder's listing), the same name.
    EXPECT_EQ(cache_file_part(123456, int64_t(timegm(&when)) * 1000000000 + 250000000),
              u"1234564281357.250000");
    EXPECT_EQ(cache_file_part(7, -1), u"71231235959.999000");  // just before 1970
    tzset();
}

TEST(CacheLayout, LevelsForTheLongerSide) {
    EXPECT_EQ(levels_for(256, 192), 0);
    EXPECT_EQ(levels_for(257, 100), 1);
    EXPECT_EQ(levels_for(2048, 1536), 3);
    EXPECT_EQ(levels_for(1536, 2049), 4);
    EXPECT_EQ(levels_for(1, 1), 0);
    EXPECT_EQ(CacheHeader::size_for(3), 70u);
}

TEST_F(CacheTest, BuildWritesTheWholeLayout) {
    for (const auto& [width, height, levels] :
         {std::tuple{2048, 1536, 3}, {256, 192, 0}, {257, 100, 1}, {700, 1100, 3}}) {
        JpegOptions options;
        options.width = width;
        options.height = height;
        options.restart_rows = width == 700 ? 1 : 0;
        const std::u16string path = picture("p.jpg", test::make_jpeg(options));
        ASSERT_TRUE(build_cache_file(path, drive(), {}));
        EXPECT_TRUE(is_cache_valid(path, drive()));
        const CacheReport report = inspect_cache_file(cache_file_name(path, drive()), path);
        ASSERT_TRUE(report.valid) << report.problem;
        EXPECT_EQ(report.header.level_count(), levels);
        EXPECT_EQ(report.header.orientation, 1);
        EXPECT_EQ(report.header.levels[0].records_offset, CacheHeader::size_for(levels));
        for (const CacheLevelReport& level : report.levels) {
            EXPECT_GT(level.records, 0u);
            EXPECT_EQ(level.records, level.expected_records);
        }
        EXPECT_LE(std::max(report.levels.back().width, report.levels.back().height), 256);
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

TEST_F(CacheTest, FailuresLeaveTheEmptyMarker) {
    JpegOptions options;
    options.width = 300;
    options.height = 200;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    // Cut before its image data: nothing to show.
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + 100);
    const std::vector<std::u16string> bad{
        picture("text.jpg", {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}),
        picture("cut.jpg", cut),
    };
    for (const std::u16string& path : bad) {
        EXPECT_FALSE(build_cache_file(path, drive(), {}));
        EXPECT_FALSE(is_cache_valid(path, drive()));
        EXPECT_TRUE(is_failed_thumbnail(cache_file_name(path, drive())));
        EXPECT_FALSE(load_thumbnail(path, drive()));
    }
    // A stop request leaves nothing at all, so the picture is queued again.
    const std::u16string good = picture("good.jpg", jpeg);
    EXPECT_FALSE(build_cache_file(good, drive(), [] { return true; }));
    EXPECT_FALSE(fs::exists(to_utf8(cache_file_name(good, drive()))));
    for (const auto& entry : fs::directory_iterator(m_dir.path() / "!vistrelcache"))
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos)
            << "left behind: " << entry.path();
    EXPECT_TRUE(build_cache_file(good, drive(), {}));
    EXPECT_FALSE(is_failed_thumbnail(cache_file_name(good, drive())));
    // A picture that is gone has no cache name, and nothing is made for it.
    EXPECT_FALSE(build_cache_file(from_utf8(m_dir.file("gone.jpg")), drive(), {}));
}

TEST_F(CacheTest, AStoredZeroOrientationKeepsThePictureAsStored) {
    JpegOptions options;
    options.width = 300;
    options.height = 200;
    const std::u16string path =
        picture("zero.jpg", test::with_exif_orientation(test::make_jpeg(options), 0, false));
    ASSERT_TRUE(build_cache_file(path, drive(), {}));
    FileStream file(cache_file_name(path, drive()), OpenMode::Read);
    CacheHeader header;
    ASSERT_TRUE(header.read(file, file.size()));
    EXPECT_EQ(header.orientation, 1);
    const auto thumbnail = load_thumbnail(path, drive());
    ASSERT_TRUE(thumbnail);
}

TEST_F(CacheTest, ValidityIsTheTagAlone) {
    const std::u16string path = picture("p.jpg", {1, 2, 3});
    const std::string folder = m_dir.file("!vistrelcache");
    fs::create_directories(folder);
    const std::string name = to_utf8(cache_file_name(path, drive()));
    test::write_bytes(name, {0x13, 0, 0, 0});
    EXPECT_TRUE(is_cache_valid(path, drive()));
    EXPECT_FALSE(is_failed_thumbnail(from_utf8(name)));
    EXPECT_FALSE(load_thumbnail(path, drive()));  // valid tag, no header behind it
    test::write_bytes(name, {});
    EXPECT_FALSE(is_cache_valid(path, drive()));
    EXPECT_TRUE(is_failed_thumbnail(from_utf8(name)));
    EXPECT_FALSE(is_failed_thumbnail(from_utf8(m_dir.file("nothing"))));
}

TEST_F(CacheTest, LoadedThumbnailsAreTurned) {
    JpegOptions options;
    options.width = 200;
    options.height = 160;
    options.smooth = true;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    const std::u16string upright = picture("1.jpg", jpeg);
    const std::u16string turned = picture("6.jpg", test::with_exif_orientation(jpeg, 6, true));
    ASSERT_TRUE(build_cache_file(upright, drive(), {}));
    ASSERT_TRUE(build_cache_file(turned, drive(), {}));
    const auto a = load_thumbnail(upright, drive());
    const auto b = load_thumbnail(turned, drive());
    ASSERT_TRUE(a && b);
    ASSERT_EQ(a->width(), 64);
    ASSERT_EQ(b->height(), 64);
    // The stored thumbnails are alike; the loaded one of orientation 6 is turned clockwise.
    apply_orientation(*a, 6);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(a->row(y)[x], b->row(y)[x]);
}

TEST_F(CacheTest, CleanUpRemovesOnlyStaleFilesInsideARealFolder) {
    JpegOptions options;
    const std::u16string path = picture("p.jpg", test::make_jpeg(options));
    ASSERT_TRUE(build_cache_file(path, drive(), {}));
    const std::u16string old_name = cache_file_name(path, drive());
    // The picture changes: its old cache file is stale.
    std::vector<uint8_t> bytes = test::read_bytes(to_utf8(path));
    bytes.push_back(0);
    test::write_bytes(to_utf8(path), bytes);
    ASSERT_NE(cache_file_name(path, drive()), old_name);
    ASSERT_TRUE(build_cache_file(path, drive(), {}));
    const fs::path folder = m_dir.path() / "!vistrelcache";
    fs::create_directories(folder / "empty");
    fs::create_directories(folder / "full");
    test::write_file((folder / "full" / "keep").string(), "x");
    test::write_file(m_dir.file("outside"), "x");
    fs::create_symlink(m_dir.file("outside"), folder / "link");
    const std::u16string new_name = cache_file_name(path, drive());
    const int removed = remove_stale_cache_files(drive(), {file_name_part(new_name)});
    EXPECT_EQ(removed, 2);  // the old cache file and the empty folder
    EXPECT_FALSE(fs::exists(to_utf8(old_name)));
    EXPECT_TRUE(fs::exists(to_utf8(new_name)));
    EXPECT_TRUE(fs::exists(folder / "full" / "keep"));
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    EXPECT_TRUE(fs::exists(m_dir.file("outside")));

    // A cache folder that is a link to somewhere else is not touched at all.
    test::TempDir other;
    test::write_file(other.file("precious"), "x");
    test::TempDir linked_drive;
    fs::create_directory_symlink(other.path(), linked_drive.path() / "!vistrelcache");
    EXPECT_EQ(remove_stale_cache_files(linked_drive.u16(), {}), 0);
    EXPECT_TRUE(fs::exists(other.file("precious")));
}

// A progressive picture's cache file holds its baseline copy; pictures whose scans are
// damaged, that change during the build, or whose copy does not fit on the disk never
// leave a copy that passes as valid.
TEST_F(CacheTest, BaselineCopiesAreWholeOrAbsent) {
    JpegOptions options;
    options.width = 1200;
    options.height = 800;
    options.progressive = true;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    const std::u16string path = picture("p.jpg", jpeg);
    ASSERT_TRUE(build_cache_file(path, drive(), {}));
    const std::u16string name = cache_file_name(path, drive());
    CacheReport report = inspect_cache_file(name, path);
    ASSERT_TRUE(report.valid) << report.problem;
    ASSERT_TRUE(report.header.has_copy());
    const uint64_t with_copy = file_info(name).size;

    // The copy does not fit: the file is built without it.
    fs::remove(to_utf8(name));
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = with_copy - report.header.copy_size / 2;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool built = build_cache_file(path, drive(), {});
    setrlimit(RLIMIT_FSIZE, &old);
    ASSERT_TRUE(built);
    report = inspect_cache_file(name, path);
    EXPECT_TRUE(report.valid) << report.problem;
    EXPECT_FALSE(report.header.has_copy());

    // The picture is replaced while it is being copied: nothing valid is left under
    // either name.
    fs::remove_all(m_dir.path() / "!vistrelcache");
    bool replaced = false;
    EXPECT_FALSE(build_cache_file(path, drive(), [&] {
        if (!replaced) test::write_bytes(m_dir.file("p.jpg"), test::make_jpeg(JpegOptions{}));
        replaced = true;
        return false;
    }));
    EXPECT_FALSE(is_cache_file_valid(name));
    EXPECT_FALSE(is_cache_valid(path, drive()));
    for (const auto& entry : fs::directory_iterator(m_dir.path() / "!vistrelcache"))
        EXPECT_EQ(entry.file_size(), 0u) << entry.path();

    // Damaged scans: a valid cache file or the marker, never a crash.
    uint32_t noise = 11;
    for (int trial = 0; trial < 12; ++trial) {
        std::vector<uint8_t> bytes = jpeg;
        for (int i = 0; i < 6; ++i) {
            noise = noise * 1103515245u + 12345u;
            bytes[600 + (noise >> 8) % (bytes.size() - 602)] = uint8_t(noise >> 24);
        }
        const std::u16string damaged = picture("d" + std::to_string(trial) + ".jpg", bytes);
        if (build_cache_file(damaged, drive(), {})) {
            const CacheReport check = inspect_cache_file(cache_file_name(damaged, drive()), damaged);
            EXPECT_TRUE(check.valid) << check.problem;
        } else {
            EXPECT_TRUE(is_failed_thumbnail(cache_file_name(damaged, drive())));
        }
    }
}

TEST_F(CacheTest, EveryRealPhotoGetsAValidCacheOrTheMarker) {
    VISTREL_REQUIRE_PHOTOS();
    int valid = 0;
    for (const auto& photo : test::photo_files()) {
        SCOPED_TRACE(photo.string());
        const std::u16string path = from_utf8(photo.string());
        const bool built = build_cache_file(path, drive(), {});
        const std::u16string name = cache_file_name(path, drive());
        if (!built) {
            EXPECT_TRUE(is_failed_thumbnail(name));
            continue;
        }
        const CacheReport report = inspect_cache_file(name, path);
        EXPECT_TRUE(report.valid) << report.problem;
        EXPECT_TRUE(load_thumbnail(path, drive()));
        ++valid;
    }
    EXPECT_GT(valid, 40);
}

// Mean brightness of rows [first, first + count) of a bitmap.
double brightness(const Bitmap& bitmap, int first, int count) {
    double sum = 0;
    for (int y = first; y < first + count; ++y)
        for (int x = 0; x < bitmap.width(); ++x) {
            const Pixel p = bitmap.row(y)[x];
            sum += red8(p) + green8(p) + blue8(p);
        }
    return sum / (3.0 * count * bitmap.width());
}

TEST_F(CacheTest, ThumbnailsOfTheOrientationPhotosComeOutUpright) {
    VISTREL_REQUIRE_PHOTOS();
    // The photos show one scene stored turned and mirrored in all eight ways; the
    // landscape ones have sky above and rock below in every crop, so upright their
    // thumbnails are bright at the top.
    for (const auto& photo : test::photo_files("orientation")) {
        const std::string name = photo.stem().string();
        SCOPED_TRACE(name);
        const int orientation = name.back() - '0';
        const std::u16string path = from_utf8(photo.string());
        ASSERT_TRUE(build_cache_file(path, drive(), {}));
        FileStream file(cache_file_name(path, drive()), OpenMode::Read);
        CacheHeader header;
        ASSERT_TRUE(header.read(file, file.size()));
        // A stored 0 is no orientation: the picture is kept as stored.
        EXPECT_EQ(header.orientation, std::max(orientation, 1));
        const auto thumbnail = load_thumbnail(path, drive());
        ASSERT_TRUE(thumbnail);
        if (name.rfind("Landscape", 0) == 0) {
            EXPECT_GT(brightness(*thumbnail, 0, 16), brightness(*thumbnail, 48, 16) + 20);
        }
    }
}

}  // namespace
}  // namespace vistrel
