// The smallest level of a cache file as large grid cells read it: its size and
// orientation, the picture itself when it is small, a scaled decode, and damaged files.

#include <gtest/gtest.h>

#include <filesystem>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/smallest_level.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

std::u16string write_picture(const test::TempDir& dir, int width, int height, int orientation = 1) {
    test::JpegOptions options;
    options.width = width;
    options.height = height;
    options.smooth = true;
    std::vector<uint8_t> jpeg = test::make_jpeg(options);
    if (orientation != 1) jpeg = test::with_exif_orientation(jpeg, orientation, false);
    const std::string file =
        dir.file(std::to_string(width) + "x" + std::to_string(height) + "o" +
                 std::to_string(orientation) + ".jpg");
    test::write_bytes(file, jpeg);
    return from_utf8(file);
}

TEST(SmallestLevel, IsAtMost256PixelsAndTurnedAsThePictureIsSeen) {
    test::TempDir dir;
    const std::u16string drive = dir.u16() + u"/";
    struct Case {
        int width, height, orientation;
        Size level;
    };
    for (const Case& c : {Case{1000, 750, 1, {250, 188}}, Case{1000, 750, 6, {188, 250}},
                          Case{600, 1200, 1, {75, 150}}, Case{200, 150, 1, {200, 150}}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        const std::u16string picture = write_picture(dir, c.width, c.height, c.orientation);
        EXPECT_FALSE(load_smallest_level(picture, drive)) << "no cache file yet";
        ASSERT_TRUE(build_cache_file(picture, drive, {}));
        const std::unique_ptr<Bitmap> level = load_smallest_level(picture, drive);
        ASSERT_TRUE(level);
        EXPECT_LE(std::max(level->size().w, level->size().h), 256);
        EXPECT_NEAR(level->size().w, c.level.w, 1);
        EXPECT_NEAR(level->size().h, c.level.h, 1);
        // Asked for at least 64 pixels: decoded at a smaller scale, never below 64.
        const std::unique_ptr<Bitmap> scaled = load_smallest_level(picture, drive, 64);
        ASSERT_TRUE(scaled);
        EXPECT_GE(std::min(scaled->size().w, scaled->size().h), 64);
        EXPECT_LT(std::min(scaled->size().w, scaled->size().h), 128);
    }
}

TEST(SmallestLevel, ADamagedCacheFileGivesNothingAndGoes) {
    test::TempDir dir;
    const std::u16string drive = dir.u16() + u"/";
    const std::u16string picture = write_picture(dir, 1000, 750);
    ASSERT_TRUE(build_cache_file(picture, drive, {}));
    const std::string cache = to_utf8(expand_path(cache_file_name(picture, drive)));
    std::vector<uint8_t> bytes = test::read_bytes(cache);
    ASSERT_GT(bytes.size(), 2000u);
    // A byte of the smallest level (just before the thumbnail) changed.
    CacheHeader header;
    {
        MemoryStream stream(bytes);
        ASSERT_TRUE(header.read(stream, bytes.size()));
    }
    const CacheLevel& level = header.levels.back();
    bytes[level.jpeg_offset + level.jpeg_size / 2] ^= 0x5A;
    test::write_bytes(cache, bytes);
    EXPECT_FALSE(load_smallest_level(picture, drive));
    EXPECT_FALSE(std::filesystem::exists(cache)) << "removed, to be built again";
    // The failure marker and a file cut short give nothing either.
    test::write_bytes(cache, {});
    EXPECT_FALSE(load_smallest_level(picture, drive));
    EXPECT_TRUE(is_failed_thumbnail(cache_file_name(picture, drive))) << "the marker stays";
    bytes.resize(40);
    test::write_bytes(cache, bytes);
    EXPECT_FALSE(load_smallest_level(picture, drive));
}

}  // namespace
}  // namespace vistrel
