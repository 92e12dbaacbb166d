// Quick thumbnails: the EXIF thumbnail as read from hand-made EXIF blocks, damaged and
// lying ones refused, and the thumbnails made covering what the cache file's will.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "format_samples.h"
#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/quick_thumbnail.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/exif_thumbnail.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::ExifBlock;

// A solid picture, unlike any generated pattern.
std::vector<uint8_t> solid_jpeg(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    std::vector<uint8_t> rgb;
    for (int i = 0; i < width * height; ++i)
        rgb.insert(rgb.end(), {r, g, b});
    return test::encode_rgb(rgb, width, height, 90);
}

std::vector<uint8_t> picture(int width, int height, int pattern = 3) {
    test::JpegOptions options;
    options.width = width;
    options.height = height;
    options.pattern = pattern;
    options.smooth = true;
    return test::make_jpeg(options);
}

std::unique_ptr<Bitmap> quick(const std::vector<uint8_t>& jpeg, QuickSource& source) {
    MemoryStream stream(jpeg);
    return make_quick_thumbnail(stream, &source);
}

// The red share of the thumbnail's centre pixel, 0..31.
int centre_red(const Bitmap& bitmap) {
    return bitmap.row(32)[32] >> 11;
}

TEST(ExifThumbnail, ReadsTheThumbnailAndThePictureSizeInEitherByteOrder) {
    const std::vector<uint8_t> small = solid_jpeg(160, 120, 250, 0, 0);
    for (const bool big : {false, true}) {
        ExifBlock block;
        block.big_endian = big;
        block.picture_width = 640;
        block.picture_height = 480;
        block.thumbnail = small;
        MemoryStream stream(block.inserted(picture(640, 480)));
        ExifThumbnail read;
        ASSERT_TRUE(read_exif_thumbnail(stream, read));
        EXPECT_EQ(read.jpeg, small);
        EXPECT_EQ(read.picture_width, 640);
        EXPECT_EQ(read.picture_height, 480);
    }
}

TEST(ExifThumbnail, DamagedOrLyingBlocksGiveNoThumbnail) {
    const std::vector<uint8_t> main = picture(640, 480);
    const std::vector<uint8_t> small = solid_jpeg(160, 120, 250, 0, 0);
    auto refused = [&](const ExifBlock& block) {
        MemoryStream stream(block.inserted(main));
        ExifThumbnail read;
        return !read_exif_thumbnail(stream, read);
    };
    ExifBlock base;
    base.thumbnail = small;
    ASSERT_FALSE(refused(base));
    ExifBlock longer = base;
    longer.length_change = 1;  // one byte past the segment
    EXPECT_TRUE(refused(longer));
    ExifBlock huge = base;
    huge.length_change = int64_t(1) << 31;
    EXPECT_TRUE(refused(huge));
    ExifBlock shifted = base;
    shifted.offset_change = 3;  // not at a start of image
    EXPECT_TRUE(refused(shifted));
    ExifBlock outside = base;
    outside.offset_change = int64_t(1) << 31;
    EXPECT_TRUE(refused(outside));
    ExifBlock looped = base;
    looped.second_points_to_first = true;
    EXPECT_TRUE(refused(looped));
    ExifBlock uncompressed = base;
    uncompressed.compression = 1;
    EXPECT_TRUE(refused(uncompressed));
    {
        MemoryStream stream(main);
        ExifThumbnail read;
        EXPECT_FALSE(read_exif_thumbnail(stream, read));
    }
    // Every byte of the block changed in turn, and the segment cut anywhere: never more
    // than the segment is read, and whatever is read lies inside it.
    const std::vector<uint8_t> whole = base.inserted(main);
    const size_t block_end = 4 + (size_t(whole[4]) << 8 | whole[5]);
    for (size_t i = 12; i < block_end; ++i) {
        std::vector<uint8_t> changed = whole;
        changed[i] ^= 0xA5;
        MemoryStream stream(changed);
        ExifThumbnail read;
        if (read_exif_thumbnail(stream, read)) {
            ASSERT_GE(read.jpeg.size(), 2u);
            ASSERT_LE(read.jpeg.size(), block_end);
        }
    }
    for (size_t end = 2; end < block_end; end += 7) {
        MemoryStream stream(std::vector<uint8_t>(whole.begin(), whole.begin() + long(end)));
        ExifThumbnail read;
        EXPECT_FALSE(read_exif_thumbnail(stream, read));
    }
}

TEST(QuickThumbnail, TakesAnExifThumbnailOnlyWhenItShowsThePicture) {
    // The picture is blue, its thumbnails red: what the quick thumbnail shows tells where
    // it came from.
    const std::vector<uint8_t> main = solid_jpeg(640, 480, 0, 0, 250);
    ExifBlock good;
    good.picture_width = 640;
    good.picture_height = 480;
    good.thumbnail = solid_jpeg(160, 120, 250, 0, 0);
    QuickSource source;
    std::unique_ptr<Bitmap> made = quick(good.inserted(main), source);
    ASSERT_TRUE(made);
    EXPECT_EQ(source, QuickSource::Exif);
    EXPECT_EQ(made->width(), 64);
    EXPECT_EQ(made->height(), 64);
    EXPECT_GT(centre_red(*made), 25);

    std::vector<ExifBlock> bad;
    bad.push_back(good);
    bad.back().thumbnail = solid_jpeg(160, 160, 250, 0, 0);  // another shape
    bad.push_back(good);
    bad.back().picture_width = 800;  // the block of a picture before it was cropped
    bad.push_back(good);
    bad.back().thumbnail.resize(good.thumbnail.size() / 2);  // cut short
    bad.push_back(good);
    // Damaged past its start of image.
    for (size_t k = 2; k < bad.back().thumbnail.size(); ++k)
        bad.back().thumbnail[k] = uint8_t(k * 37);
    bad.push_back(good);
    bad.back().thumbnail = solid_jpeg(2048, 1536, 250, 0, 0);  // not small
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        made = quick(bad[i].inserted(main), source);
        ASSERT_TRUE(made);
        EXPECT_EQ(source, QuickSource::Scaled);
        EXPECT_LT(centre_red(*made), 4);
    }
    // Not a JPEG at all.
    EXPECT_FALSE(quick(std::vector<uint8_t>(300, 7), source));
    EXPECT_EQ(source, QuickSource::None);
}

// How far two 64 x 64 thumbnails differ, per channel on average (in RGB565 steps).
double difference(const Bitmap& made, const Bitmap& cached) {
    if (made.size() != cached.size()) return 1e9;
    double error = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Pixel a = made.row(y)[x], b = cached.row(y)[x];
            error += std::abs((a >> 11) - (b >> 11)) + std::abs(((a >> 5) & 63) - ((b >> 5) & 63)) / 2.0 +
                     std::abs((a & 31) - (b & 31));
        }
    return error / (64 * 64 * 3);
}

TEST(QuickThumbnail, CoversWhatTheCacheThumbnailWillShow) {
    test::TempDir dir;
    const std::u16string drive = dir.u16() + u"/";
    struct Case {
        int width, height, orientation;
    };
    for (const Case& c : {Case{1600, 1200, 1}, Case{1200, 1600, 1}, Case{1600, 900, 6},
                          Case{3000, 2000, 3}, Case{300, 200, 1}, Case{60, 40, 1}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " o" +
                     std::to_string(c.orientation));
        std::vector<uint8_t> jpeg = picture(c.width, c.height, c.width % 5);
        if (c.orientation != 1) jpeg = test::with_exif_orientation(jpeg, c.orientation, false);
        const std::string file = dir.file(std::to_string(c.width) + "x" + std::to_string(c.height) + ".jpg");
        test::write_bytes(file, jpeg);
        const std::u16string path = from_utf8(file);
        QuickSource source;
        const std::unique_ptr<Bitmap> made = make_quick_thumbnail(path, &source);
        ASSERT_TRUE(made);
        EXPECT_EQ(source, QuickSource::Scaled);
        ASSERT_TRUE(build_cache_file(path, drive, {}));
        const std::unique_ptr<Bitmap> cached = load_thumbnail(path, drive);
        ASSERT_TRUE(cached);
        EXPECT_LT(difference(*made, *cached), 2.5);
    }
}

// The decode at 1/8 reads only the crop it shows (the columns, no rows below it): every
// layout of the picture's components, and pictures damaged or cut short, still give what
// the cache file's thumbnail shows, or no thumbnail at all when the cache file cannot be
// made either.
TEST(QuickThumbnail, TheCroppedDecodeShowsWhatTheCacheThumbnailWill) {
    test::TempDir dir;
    const std::u16string drive = dir.u16() + u"/";
    struct Case {
        const char* name;
        int width, height, components, h, v;
        bool progressive = false;
        int restart_rows = 0;
        double cut = 1.0;  // the share of the file kept
    };
    const Case cases[] = {
        {"420", 2000, 1500, 3, 2, 2},
        {"422", 2000, 1500, 3, 2, 1},
        {"444 portrait", 1500, 2000, 3, 1, 1},
        {"grey", 1800, 1200, 1, 1, 1},
        {"progressive", 2000, 1500, 3, 2, 2, true},
        {"restarts", 2000, 1500, 3, 2, 2, false, 2},
        {"cut in the crop", 2000, 1500, 3, 2, 2, false, 0, 0.6},
        {"cut below the crop", 1500, 2000, 3, 2, 2, false, 0, 0.8},
        {"cut in the header", 2000, 1500, 3, 2, 2, false, 0, 0.001},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::JpegOptions options;
        options.width = c.width;
        options.height = c.height;
        options.components = c.components;
        options.h = c.h;
        options.v = c.v;
        options.progressive = c.progressive;
        options.restart_rows = c.restart_rows;
        options.pattern = 2;
        options.smooth = true;
        std::vector<uint8_t> jpeg = test::make_jpeg(options);
        jpeg.resize(std::max<size_t>(size_t(double(jpeg.size()) * c.cut), 2));
        const std::string file = dir.file(std::string(c.name) + ".jpg");
        test::write_bytes(file, jpeg);
        const std::u16string path = from_utf8(file);
        QuickSource source;
        const std::unique_ptr<Bitmap> made = make_quick_thumbnail(path, &source);
        const bool built = build_cache_file(path, drive, {});
        const std::unique_ptr<Bitmap> cached = built ? load_thumbnail(path, drive) : nullptr;
        if (!cached) {
            EXPECT_FALSE(made);
            continue;
        }
        ASSERT_TRUE(made);
        EXPECT_EQ(source, QuickSource::Scaled);
        EXPECT_LT(difference(*made, *cached), 2.5);
    }
}

// Other formats: a HEIC's thumbnail item when it shows the picture whole, else (a
// thumbnail of another shape, a PNG) the rows averaged down; each covering what the cache
// file's thumbnail will.
TEST(QuickThumbnail, OtherFormatsUseTheirThumbnailItemOrTheirRowsScaledDown) {
    test::TempDir dir;
    const std::u16string drive = dir.u16() + u"/";
    const auto check = [&](const std::string& name, const std::vector<uint8_t>& bytes,
                           QuickSource expected) {
        SCOPED_TRACE(name);
        const std::string file = dir.file(name);
        test::write_bytes(file, bytes);
        const std::u16string path = from_utf8(file);
        QuickSource source;
        const std::unique_ptr<Bitmap> made = make_quick_thumbnail(path, &source);
        ASSERT_TRUE(made);
        EXPECT_EQ(source, expected);
        ASSERT_TRUE(build_cache_file(path, drive, {}));
        const std::unique_ptr<Bitmap> cached = load_thumbnail(path, drive);
        ASSERT_TRUE(cached);
        EXPECT_LT(difference(*made, *cached), 2.5);
    };
    for (const Size size : {Size{1200, 900}, Size{700, 1100}}) {
        const std::vector<uint8_t> rgba = test::pattern_rgba(size.w, size.h, false);
        std::vector<uint8_t> rgb;
        for (size_t i = 0; i < rgba.size(); ++i)
            if (i % 4 != 3) rgb.push_back(rgba[i]);
        check("p" + std::to_string(size.w) + ".png",
              test::encode_rgb_as("png", rgb, size.w, size.h, dir.file("scratch")),
              QuickSource::Scaled);
    }
    const test::FormatSample heic = test::make_heif_with_thumbnail(640, 480, 160);
    if (heic.bytes.empty()) GTEST_SKIP() << heic.skipped;
    check("item.heic", heic.bytes, QuickSource::Embedded);
    // A square thumbnail of a 4:3 picture shows something else: not taken.
    const std::vector<uint8_t> square(size_t(200) * 200 * 3, 90);
    const test::FormatSample lying = test::make_heif_with_thumbnail(640, 480, 100, square, 200, 200);
    ASSERT_FALSE(lying.bytes.empty()) << lying.skipped;
    check("square.heic", lying.bytes, QuickSource::Scaled);
    check("none.heic", test::make_heif(320, 240, false).bytes, QuickSource::Scaled);
}

}  // namespace
}  // namespace vistrel
