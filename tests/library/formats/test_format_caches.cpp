// Pictures of every format through the cache: one build turns each into a baseline JPEG
// held as its full size, with levels and a thumbnail, so its tiles show what the picture
// holds, turned as its file says; an uncached one shows through the direct source.

#include <gtest/gtest.h>

#include "colour_samples.h"
#include "format_samples.h"
#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/cache/level_chain.h"
#include "library/cache/thumbnail.h"
#include "library/formats/picture_source.h"
#include "library/tiles/cache_tile_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"
#include "tile_check.h"

namespace vistrel {
namespace {

constexpr uint32_t kBackground = 0x102030;

// Each halving of a decoded picture, as the levels are made.
test::DecodedPicture halved(const test::DecodedPicture& picture) {
    test::DecodedPicture half;
    half.ok = picture.ok;
    half.width = picture.width / 2;
    half.height = picture.height / 2;
    half.rgb.resize(size_t(half.width) * half.height * 3);
    const size_t stride = size_t(picture.width) * 3;
    for (int y = 0; y < half.height; ++y)
        average_rows(&picture.rgb[2 * y * stride], &picture.rgb[(2 * y + 1) * stride],
                     &half.rgb[size_t(y) * half.width * 3], half.width);
    return half;
}

class FormatCacheTest : public ::testing::Test {
protected:
    void SetUp() override { set_transparency_background(kBackground); }
    void TearDown() override { set_transparency_background(0); }
    std::u16string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        return from_utf8(m_dir.file(name));
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }
    // The picture's rows as its reader gives them.
    static std::vector<uint8_t> decode_all(const std::u16string& picture) {
        std::vector<uint8_t> rgb;
        std::unique_ptr<PictureSource> source = open_picture_source(picture);
        if (!source) return rgb;
        std::vector<uint8_t> row(size_t(source->width()) * 3);
        while (source->read_row(row.data()))
            rgb.insert(rgb.end(), row.begin(), row.end());
        return rgb;
    }

    // Builds the cache of a sample and checks its full size and smallest level against
    // the pixels the sample holds.
    void expect_cached(const test::FormatSample& sample, const std::string& name, int orientation,
                       double min_psnr) {
        SCOPED_TRACE(name);
        if (sample.bytes.empty()) GTEST_SKIP() << sample.skipped;
        const std::u16string picture = write(name, sample.bytes);
        ASSERT_EQ(build_cache_file_for(picture, drive(), nullptr), CacheProblem::None);
        CacheTileSource source(picture, drive());
        ASSERT_TRUE(source.open());
        EXPECT_EQ(source.orientation(), orientation);
        test::DecodedPicture expected;
        expected.ok = true;
        expected.width = sample.width;
        expected.height = sample.height;
        expected.rgb = test::flattened(sample, kBackground);
        const test::DecodedPicture shown = test::as_shown(expected, orientation);
        EXPECT_EQ(source.width(), shown.width);
        EXPECT_EQ(source.height(), shown.height);
        const test::DecodedPicture full = test::assemble_level(source, source.levels());
        ASSERT_TRUE(full.ok);
        EXPECT_GT(test::psnr(full.rgb, shown.rgb), min_psnr);
        EXPECT_TRUE(load_thumbnail(picture, drive()));
        // What "Original" sends is the picture file itself.
        EXPECT_EQ(source.version_sizes().full, sample.bytes.size());
    }
    test::TempDir m_dir;
};

TEST_F(FormatCacheTest, EveryFormatIsBuiltAndShown) {
    test::PngOptions png;
    png.width = 600;
    png.height = 400;
    png.colour_type = 6;
    expect_cached(test::make_png(png), "a.png", 1, 26);
    png.colour_type = 0;
    png.bit_depth = 16;
    png.interlaced = true;
    expect_cached(test::make_png(png), "b.PNG", 1, 30);
    test::TiffOptions tiff;
    tiff.width = 500;
    tiff.height = 300;
    tiff.orientation = 6;
    tiff.tiled = true;
    expect_cached(test::make_tiff(tiff, m_dir.file("scratch.tif")), "c.tif", 6, 30);
    test::WebPOptions webp;
    webp.width = 300;
    webp.height = 280;
    webp.alpha = true;
    expect_cached(test::make_webp(webp), "d.webp", 1, 28);
    expect_cached(test::make_gif(320, 200, true, false), "e.gif", 1, 20);
    expect_cached(test::make_jxl(330, 260, false, false), "f.jxl", 1, 30);
    expect_cached(test::make_heif(320, 240, false), "g.heic", 1, 28);
    expect_cached(test::make_heif(320, 240, true), "h.avif", 1, 28);
}

// The levels come from the rows that make the full-size copy, not from a decode of it:
// they are what levels made from that decode would be, within what the copy's own loss
// changes, and the thumbnail is made from the smallest of them.
TEST_F(FormatCacheTest, LevelsAreTheFullSizeCopyHalved) {
    const int width = 1010, height = 702;  // two halvings, odd sizes among them
    const std::vector<uint8_t> rgb = test::textured_rgb(width, height);
    for (const std::string format : {"png", "webp", "tiff", "jxl"}) {
        SCOPED_TRACE(format);
        const std::vector<uint8_t> bytes =
            test::encode_rgb_as(format, rgb, width, height, m_dir.file("scratch.tif"));
        if (bytes.empty()) continue;
        const std::u16string picture = write("t." + format, bytes);
        ASSERT_EQ(build_cache_file_for(picture, drive(), nullptr), CacheProblem::None);
        const std::string cache = to_utf8(cache_file_name(picture, drive()));
        const std::vector<uint8_t> file = test::read_bytes(cache);
        MemoryStream stream(file);
        CacheHeader header;
        ASSERT_TRUE(header.read(stream, file.size()));
        ASSERT_TRUE(header.has_copy());
        ASSERT_EQ(header.level_count(), 2);
        const auto section = [&](uint32_t offset, uint32_t size) {
            return std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + size);
        };
        test::DecodedPicture above =
            test::decode_jpeg(section(header.copy_offset, header.copy_size));
        ASSERT_TRUE(above.ok);
        ASSERT_EQ(above.width, width);
        ASSERT_EQ(above.height, height);
        EXPECT_GT(test::psnr(above.rgb, decode_all(picture)), 26);
        std::vector<uint8_t> smallest;
        for (int k = 1; k <= 2; ++k) {
            SCOPED_TRACE(k);
            above = halved(above);
            smallest = test::cache_level_bytes(cache, {}, k);
            const test::DecodedPicture level = test::decode_jpeg(smallest);
            ASSERT_TRUE(level.ok);
            ASSERT_EQ(level.width, above.width);
            ASSERT_EQ(level.height, above.height);
            // What a level made from a decode of the copy would be.
            const test::DecodedPicture from_copy = test::decode_jpeg(
                test::encode_rgb(above.rgb, above.width, above.height, kLevelQuality));
            EXPECT_LT(test::mean_difference(level.rgb, from_copy.rgb), 2.5);
            EXPECT_GT(test::psnr(level.rgb, from_copy.rgb), 36);
        }
        MemoryStream level(smallest), thumbnail;
        ASSERT_TRUE(make_thumbnail(level, thumbnail, nullptr));
        EXPECT_EQ(section(header.thumbnail_offset, header.thumbnail_size), thumbnail.bytes());
    }
}

TEST_F(FormatCacheTest, AProfileSwappingRedAndGreenShowsThemSwapped) {
    test::PngOptions options;
    options.width = 300;
    options.height = 200;
    options.icc_profile = test::swapped_profile();
    const std::u16string picture = write("swapped.png", test::make_png(options).bytes);
    ASSERT_EQ(build_cache_file_for(picture, drive(), nullptr), CacheProblem::None);
    CacheTileSource source(picture, drive());
    ASSERT_TRUE(source.open());
    const test::DecodedPicture full = test::assemble_level(source, source.levels());
    ASSERT_TRUE(full.ok);
    // Stored red at the right end of the first rows: shown green.
    const uint8_t* right = &full.rgb[(size_t(10) * full.width + full.width - 4) * 3];
    EXPECT_LT(right[0], 48);
    EXPECT_GT(right[1], 200);
}

TEST_F(FormatCacheTest, AnUncachedPictureShowsThroughTheDirectSource) {
    test::PngOptions options;
    options.width = 2600;
    options.height = 1900;
    const test::FormatSample sample = test::make_png(options);
    DirectTileSource source(write("big.png", sample.bytes));
    ASSERT_TRUE(source.open());
    EXPECT_EQ(source.width(), 2600);
    // Full size is more than may be kept: the largest level kept whole shows, and those
    // below it.
    EXPECT_TRUE(source.level_size(source.levels()).empty());
    const int kept = source.levels() - 1;
    EXPECT_EQ(source.level_size(kept), (Size{1300, 950}));
    EXPECT_TRUE(source.make_tile(0, 0, kept));
    const test::DecodedPicture small = test::assemble_level(source, 0);
    ASSERT_TRUE(small.ok);
    EXPECT_GT(small.width, 0);
}

TEST_F(FormatCacheTest, PicturesThatCannotBeReadGetTheMarker) {
    std::vector<uint8_t> noise(5000);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 131 + 7);
    const std::u16string picture = write("noise.avif", noise);
    EXPECT_EQ(build_cache_file_for(picture, drive(), nullptr), CacheProblem::NotReadable);
    const std::u16string name = cache_file_name(picture, drive());
    EXPECT_EQ(file_info(name).size, 0u) << "an empty marker stands for the failed picture";
    DirectTileSource direct(picture);
    EXPECT_FALSE(direct.open());
}

}  // namespace
}  // namespace vistrel
