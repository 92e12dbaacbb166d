// Tile sources: the tile grid, tiles from the records against libjpeg's decoding of whole
// levels, regions that join without seams, orientations, the libjpeg paths, versions, and
// the real photos.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "library/jpeg/region_decoder.h"
#include "library/tiles/cache_tile_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"
#include "tile_check.h"

namespace vistrel {
namespace {

namespace fs = std::filesystem;
using test::JpegOptions;

JpegOptions sized(int width, int height) {
    JpegOptions options;
    options.width = width;
    options.height = height;
    return options;
}

class TileTest : public ::testing::Test {
protected:
    std::u16string picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        return from_utf8(m_dir.file(name));
    }
    // Writes the picture and builds its cache file.
    std::u16string cached(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::u16string path = picture(name, bytes);
        EXPECT_TRUE(build_cache_file(path, drive(), {}));
        return path;
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }
    std::string cache_of(const std::u16string& path) const {
        return to_utf8(cache_file_name(path, drive()));
    }

    // Every level of the picture's cache source against libjpeg's fast decode of the
    // level's JPEG, turned as shown.
    void expect_levels_match(const std::u16string& path, const std::vector<uint8_t>& bytes) {
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        for (int level = 0; level <= source.levels(); ++level) {
            const test::DecodedPicture tiles = test::assemble_level(source, level);
            const std::vector<uint8_t> jpeg =
                test::cache_level_bytes(cache_of(path), bytes, source.levels() - level);
            const test::DecodedPicture reference =
                test::as_shown(test::decode_jpeg(jpeg), source.orientation());
            ASSERT_EQ(tiles.width, reference.width) << "level " << level;
            ASSERT_EQ(tiles.height, reference.height) << "level " << level;
            EXPECT_GE(test::psnr(tiles.rgb, reference.rgb), 40.0) << "level " << level;
        }
    }

    test::TempDir m_dir;
};

TEST_F(TileTest, GridOfEachLevel) {
    CacheTileSource source(cached("a.jpg", test::make_jpeg(sized(2048, 1536))), drive());
    ASSERT_TRUE(source.open());
    EXPECT_EQ(source.levels(), 3);
    EXPECT_EQ(source.width(), 2048);
    EXPECT_EQ(source.height(), 1536);
    EXPECT_EQ(source.level_size(0), (Size{256, 192}));
    EXPECT_EQ(source.tile_grid(0), (Size{1, 1}));
    EXPECT_EQ(source.tile_grid(3), (Size{8, 6}));
    EXPECT_EQ(source.tile_size(7, 5, 3), (Size{256, 256}));
    EXPECT_TRUE(source.make_tile(7, 5, 3));
    for (const auto& [column, row, level] :
         {std::tuple{8, 0, 3}, {0, 6, 3}, {-1, 0, 3}, {0, 0, 4}, {0, 0, -1}, {1, 0, 0}})
        EXPECT_FALSE(source.make_tile(column, row, level)) << column << "," << row << "," << level;

    // The last tile of a 2000 x 1500 picture is 208 x 220, in the top-left of its bitmap
    // (assemble_level checks that the rest is black).
    CacheTileSource smaller(cached("b.jpg", test::make_jpeg(sized(2000, 1500))), drive());
    ASSERT_TRUE(smaller.open());
    EXPECT_EQ(smaller.tile_size(7, 5, 3), (Size{208, 220}));
    EXPECT_EQ(smaller.level_size(2), (Size{1000, 750}));
    EXPECT_TRUE(test::assemble_level(smaller, 3).ok);
}

TEST_F(TileTest, LevelsMatchLibjpegForEverySamplingWeFollow) {
    // Luminance sampling, components and restart interval (MCUs).
    for (const auto& [h, v, components, restart] : {std::tuple{2, 2, 3, 0},
                                                    {2, 1, 3, 0},
                                                    {1, 2, 3, 0},
                                                    {1, 1, 3, 0},
                                                    {1, 1, 1, 0},
                                                    {2, 2, 3, 7},
                                                    {1, 1, 3, 5},
                                                    {2, 1, 3, 1}}) {
        JpegOptions options = sized(1001, 517);
        options.h = h;
        options.v = v;
        options.components = components;
        options.restart_mcus = restart;
        options.pattern = h + 3 * v + restart;
        SCOPED_TRACE(testing::Message() << h << "x" << v << " " << components << " " << restart);
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        expect_levels_match(cached("p.jpg", jpeg), jpeg);
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

// Any rectangle of a level decodes to the same pixels as that part of the whole level:
// rectangles side by side join without seams wherever their edges lie.
TEST_F(TileTest, RegionsMatchTheWholeLevelWhereverTheyLie) {
    for (const auto& [h, v] : {std::pair{2, 2}, {2, 1}, {1, 2}, {1, 1}}) {
        JpegOptions options = sized(203, 150);
        options.h = h;
        options.v = v;
        options.restart_mcus = 3;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        MemoryStream stream(jpeg);
        const JpegLayout layout = read_jpeg_layout(stream);
        std::vector<ResumeRecord> taken = record_level(*(stream.rewind(), &stream), jpeg.size());
        std::vector<uint8_t> stored(taken.size() * kResumeRecordSize);
        for (size_t i = 0; i < taken.size(); ++i)
            taken[i].store(&stored[i * kResumeRecordSize]);
        LevelRecords records;
        ASSERT_TRUE(records.assign(stored, layout, jpeg.size() - layout.data_offset));
        RegionDecoder decoder;
        ASSERT_TRUE(decoder.init(layout));
        const LevelBytes level{&stream, 0, jpeg.size()};
        const auto whole = Bitmap::create(203, 150);
        ASSERT_TRUE(
            decoder.decode(records, level, {0, 0, 203, 150}, whole->pixels(), whole->pitch()));
        std::mt19937 random(h * 10 + v);
        for (int i = 0; i < 60; ++i) {
            const int left = int(random() % 203), top = int(random() % 150);
            const int right = left + 1 + int(random() % (203 - left));
            const int bottom = top + 1 + int(random() % (150 - top));
            const auto part = Bitmap::create(right - left, bottom - top);
            ASSERT_TRUE(decoder.decode(records, level, {left, top, right, bottom}, part->pixels(),
                                       part->pitch()));
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    ASSERT_EQ(part->row(y - top)[x - left], whole->row(y)[x])
                        << h << "x" << v << " region " << left << "," << top << "," << right << ","
                        << bottom << " at " << x << "," << y;
        }
    }
}

TEST_F(TileTest, EveryOrientationShowsThePictureTurned) {
    const std::vector<uint8_t> plain = test::make_jpeg(sized(700, 300));
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::vector<uint8_t> jpeg = test::with_exif_orientation(plain, orientation, false);
        const std::u16string path = cached("o" + std::to_string(orientation) + ".jpg", jpeg);
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        EXPECT_EQ(source.orientation(), orientation);
        const bool turned = orientation >= 5;
        EXPECT_EQ(source.width(), turned ? 300 : 700);
        EXPECT_EQ(source.height(), turned ? 700 : 300);
        expect_levels_match(path, jpeg);
        DirectTileSource direct(path);
        ASSERT_TRUE(direct.open());
        EXPECT_EQ(direct.width(), source.width());
        const test::DecodedPicture shown = test::assemble_level(direct, direct.levels());
        EXPECT_EQ(shown.rgb, test::as_shown(test::decode_jpeg(jpeg), orientation).rgb);
    }
}

// Pictures our decoder does not follow have no records for the full-size level: its tiles
// come from libjpeg, cropped, and the reduced levels (which the cache made) from records.
// Progressive and arithmetic-coded pictures get a baseline copy in their cache file, and
// their full-size tiles resume from its records with libjpeg's own pixels.
TEST_F(TileTest, ProgressiveAndArithmeticPicturesResumeFromTheirCopy) {
    for (const auto& [progressive, arithmetic, components] :
         {std::tuple{true, false, 3}, {false, true, 3}, {true, true, 3}, {true, false, 1}}) {
        SCOPED_TRACE(testing::Message() << progressive << arithmetic << components);
        JpegOptions options = sized(900, 530);
        options.progressive = progressive;
        options.arithmetic = arithmetic;
        options.components = components;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        const std::u16string path = cached("p.jpg", jpeg);
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        EXPECT_TRUE(source.uses_records(source.levels()));
        const test::DecodedPicture full = test::assemble_level(source, source.levels());
        EXPECT_EQ(full.rgb, test::as_shown(test::decode_jpeg(jpeg), 1).rgb);
        expect_levels_match(path, jpeg);
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

// A cache file written before baseline copies existed (the file ends with the thumbnail)
// still gives every tile, the full-size ones through libjpeg.
TEST_F(TileTest, CacheFilesWithoutACopyStillShow) {
    JpegOptions options = sized(900, 530);
    options.progressive = true;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    const std::u16string path = cached("p.jpg", jpeg);
    std::vector<uint8_t> cache = test::read_bytes(cache_of(path));
    MemoryStream stream(cache);
    CacheHeader header;
    ASSERT_TRUE(header.read(stream, cache.size()));
    ASSERT_TRUE(header.has_copy());
    cache.resize(header.copy_offset);
    test::write_bytes(cache_of(path), cache);
    CacheTileSource source(path, drive());
    ASSERT_TRUE(source.open());
    EXPECT_FALSE(source.uses_records(source.levels()));
    EXPECT_EQ(test::assemble_level(source, source.levels()).rgb,
              test::as_shown(test::decode_jpeg(jpeg), 1).rgb);
}

// The progressive, grey and restart variants of the photo corpus: full-size tiles are
// libjpeg's decode of the picture, pixel for pixel.
TEST_F(TileTest, DerivedPhotosAtFullSizeAreLibjpegsPixels) {
    VISTREL_REQUIRE_PHOTOS();
    const std::vector<fs::path> files = test::photo_files("derived");
    if (files.empty()) GTEST_SKIP() << "no derived photos";
    for (const fs::path& file : files) {
        SCOPED_TRACE(file.string());
        const std::vector<uint8_t> bytes = test::read_bytes(file.string());
        const std::u16string path = cached(file.filename().string(), bytes);
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        EXPECT_TRUE(source.uses_records(source.levels()));
        const test::DecodedPicture full = test::assemble_level(source, source.levels());
        EXPECT_EQ(full.rgb, test::as_shown(test::decode_jpeg(bytes), source.orientation()).rgb);
    }
}

// CMYK and YCCK pictures, with and without the Adobe marker that says the ink is stored
// inverted, show their colours at every level.
TEST_F(TileTest, CmykPicturesShowTheirColoursAtEveryLevel) {
    const int width = 640, height = 400;
    // Ink (C, M, Y, K) of the four quadrants and the colours they make.
    const std::array<std::array<int, 4>, 4> inks{{{0, 0, 0, 0}, {255, 0, 0, 0}, {0, 200, 200, 0},
                                                  {40, 40, 40, 100}}};
    auto colour = [](int ink, int black) { return (255 - ink) * (255 - black) / 255; };
    for (const auto& [ycck, adobe, progressive] : {std::tuple{false, false, false},
                                                   {false, true, false},
                                                   {true, true, false},
                                                   {true, true, true}}) {
        SCOPED_TRACE(testing::Message() << ycck << adobe << progressive);
        std::vector<uint8_t> cmyk(size_t(width) * height * 4);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 4; ++c) {
                    const int ink = inks[(y >= height / 2) * 2 + (x >= width / 2)][c];
                    cmyk[(size_t(y) * width + x) * 4 + c] = uint8_t(adobe ? 255 - ink : ink);
                }
        const std::u16string path =
            cached("c.jpg", test::encode_cmyk(cmyk, width, height, ycck, adobe, progressive));
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        for (int level = 0; level <= source.levels(); ++level) {
            const test::DecodedPicture shown = test::assemble_level(source, level);
            ASSERT_TRUE(shown.ok);
            for (int q = 0; q < 4; ++q) {
                const int x = shown.width / 4 + (q % 2) * shown.width / 2;
                const int y = shown.height / 4 + (q / 2) * shown.height / 2;
                for (int c = 0; c < 3; ++c)
                    EXPECT_NEAR(shown.rgb[(size_t(y) * shown.width + x) * 3 + c],
                                colour(inks[q][c], inks[q][3]), 12)
                        << "level " << level << " quadrant " << q << " channel " << c;
            }
        }
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

// A picture cut short shows what it holds, grey below: its full-size tiles are libjpeg's
// decode of the cut file except at most the MCU row where the data ends.
TEST_F(TileTest, CutPicturesShowWhatTheyHold) {
    for (const bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        JpegOptions options = sized(1000, 700);
        options.progressive = progressive;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 5);
        const std::u16string path = cached("cut.jpg", cut);
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        EXPECT_TRUE(source.uses_records(source.levels()));
        const test::DecodedPicture tiles = test::assemble_level(source, source.levels());
        const test::DecodedPicture reference = test::as_shown(test::decode_jpeg(cut), 1);
        ASSERT_EQ(tiles.rgb.size(), reference.rgb.size());
        const size_t row_bytes = size_t(tiles.width) * 3;
        int differing = 0;
        for (int y = 0; y < tiles.height; ++y)
            differing += !std::equal(tiles.rgb.begin() + ptrdiff_t(y * row_bytes),
                                     tiles.rgb.begin() + ptrdiff_t((y + 1) * row_bytes),
                                     reference.rgb.begin() + ptrdiff_t(y * row_bytes));
        if (!progressive) {
            // The MCU row where the data ends, and a pixel row each side that its chroma
            // reaches.
            EXPECT_LE(differing, 18);
            // The last row is grey.
            const uint8_t* last = &tiles.rgb[(tiles.height - 1) * row_bytes];
            for (size_t i = 0; i < row_bytes; ++i)
                EXPECT_EQ(last[i], last[i % 3]);
        }
        // The reduced levels are made from libjpeg's pixels of the cut picture.
        for (int level = 0; level < source.levels(); ++level) {
            const test::DecodedPicture reduced = test::assemble_level(source, level);
            const std::vector<uint8_t> bytes =
                test::cache_level_bytes(cache_of(path), cut, source.levels() - level);
            EXPECT_EQ(reduced.rgb, test::as_shown(test::decode_jpeg(bytes), 1).rgb);
        }
        fs::remove_all(m_dir.path() / "!vistrelcache");
    }
}

TEST_F(TileTest, DirectSourceCutsTilesFromScaledDecodes) {
    const std::vector<uint8_t> jpeg = test::make_jpeg(sized(2048, 1536));
    DirectTileSource source(picture("d.jpg", jpeg));
    ASSERT_TRUE(source.open());
    EXPECT_EQ(source.levels(), 3);
    for (int level = 0; level <= 3; ++level) {
        const test::DecodedPicture tiles = test::assemble_level(source, level);
        const test::DecodedPicture reference = test::decode_jpeg(jpeg, 1 << (3 - level));
        EXPECT_EQ(tiles.rgb, test::as_shown(reference, 1).rgb) << "level " << level;
    }
    EXPECT_EQ(source.version_sizes(), (VersionSizes{jpeg.size(), 0, 0, 0}));
    EXPECT_FALSE(source.save_version(from_utf8(m_dir.file("out.jpg")), 0));

    // A picture needing four halvings: level 0 is 1/16, beyond libjpeg's scales, made from
    // the 1/8 decode averaged down.
    const std::vector<uint8_t> tall_jpeg = test::make_jpeg(sized(100, 4000));
    DirectTileSource tall(picture("t.jpg", tall_jpeg));
    ASSERT_TRUE(tall.open());
    EXPECT_EQ(tall.levels(), 4);
    EXPECT_EQ(tall.level_size(0), (Size{6, 250}));
    const test::DecodedPicture smallest = test::assemble_level(tall, 0);
    ASSERT_TRUE(smallest.ok);
    const test::DecodedPicture eighth = test::decode_jpeg(tall_jpeg, 8);
    // Its middle pixel: the mean of the 1/8 decode's 2 x 2 block there, within 565 steps.
    for (int c = 0; c < 3; ++c) {
        int sum = 0;
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx)
                sum += eighth.rgb[(size_t(250 + dy) * size_t(eighth.width) + size_t(6 + dx)) * 3 + size_t(c)];
        EXPECT_NEAR(smallest.rgb[(size_t(125) * 6 + 3) * 3 + size_t(c)], sum / 4, 9) << c;
    }
    EXPECT_EQ(tall.level_size(1), (Size{12, 500}));
    EXPECT_TRUE(tall.make_tile(0, 1, 1));

    // Full-size levels too large to keep are decoded for each tile.
    const std::vector<uint8_t> large = test::make_jpeg(sized(2600, 1700));
    DirectTileSource big(picture("big.jpg", large));
    ASSERT_TRUE(big.open());
    const test::DecodedPicture reference = test::as_shown(test::decode_jpeg(large), 1);
    const auto tile = big.make_tile(5, 3, big.levels());
    ASSERT_TRUE(tile);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const uint8_t* p = &reference.rgb[(size_t(768 + y) * 2600 + 1280 + x) * 3];
            ASSERT_EQ(tile->row(y)[x], to_pixel(p[0], p[1], p[2])) << x << "," << y;
        }
}

// Both sources give every level the size of the cache's halved level (halves rounded
// down), so the viewer's geometry stays put when it swaps one source for the other.
TEST_F(TileTest, BothSourcesSizeLevelsAlike) {
    const std::u16string path = cached("odd.jpg", test::make_jpeg(sized(1136, 775)));
    CacheTileSource cache(path, drive());
    DirectTileSource direct(path);
    ASSERT_TRUE(cache.open());
    ASSERT_TRUE(direct.open());
    ASSERT_EQ(cache.levels(), direct.levels());
    EXPECT_EQ(direct.level_size(0), (Size{142, 96}));
    for (int level = 0; level <= cache.levels(); ++level) {
        EXPECT_EQ(direct.level_size(level), cache.level_size(level)) << "level " << level;
        const test::DecodedPicture tiles = test::assemble_level(direct, level);
        EXPECT_TRUE(tiles.ok) << "level " << level;
        EXPECT_EQ(tiles.height, cache.level_size(level).h) << "level " << level;
    }
}

TEST_F(TileTest, VersionsAreTheCachedLevels) {
    const std::vector<uint8_t> jpeg = test::make_jpeg(sized(1000, 700));
    const std::u16string path = cached("v.jpg", jpeg);
    CacheTileSource source(path, drive());
    ASSERT_TRUE(source.open());
    ASSERT_EQ(source.levels(), 2);
    const std::vector<uint8_t> large = test::cache_level_bytes(cache_of(path), jpeg, 1);
    const std::vector<uint8_t> medium = test::cache_level_bytes(cache_of(path), jpeg, 2);
    EXPECT_EQ(source.version_sizes(), (VersionSizes{jpeg.size(), large.size(), medium.size(), 0}));
    const std::u16string out = from_utf8(m_dir.file("send.jpg"));
    ASSERT_TRUE(source.save_version(out, 1));
    EXPECT_EQ(test::read_bytes(m_dir.file("send.jpg")), large);
    ASSERT_TRUE(source.save_version(out, 0));
    EXPECT_EQ(test::read_bytes(m_dir.file("send.jpg")), jpeg);
    fs::remove(m_dir.file("send.jpg"));
    EXPECT_FALSE(source.save_version(out, 3));
    EXPECT_FALSE(fs::exists(m_dir.file("send.jpg")));
    EXPECT_FALSE(source.save_version(from_utf8(m_dir.file("no/such/folder.jpg")), 1));
}

TEST_F(TileTest, SourcesOfMissingPicturesDoNotOpen) {
    const std::u16string gone = from_utf8(m_dir.file("gone.jpg"));
    EXPECT_FALSE(CacheTileSource(gone, drive()).open());
    EXPECT_FALSE(DirectTileSource(gone).open());
    // A picture without a cache file, or with the failure marker, has only the direct source.
    const std::u16string path = picture("n.jpg", test::make_jpeg(sized(300, 200)));
    EXPECT_FALSE(CacheTileSource(path, drive()).open());
    EXPECT_FALSE(build_cache_file(path, drive(), [] { return true; }));
    EXPECT_FALSE(CacheTileSource(path, drive()).open());
    EXPECT_TRUE(DirectTileSource(path).open());
}

// Every tile of every level of the real photos comes out, and whole levels match libjpeg.
TEST_F(TileTest, EveryRealPhotoComesOut) {
    VISTREL_REQUIRE_PHOTOS();
    for (const fs::path& file : test::photo_files()) {
        SCOPED_TRACE(file.string());
        const std::u16string path = from_utf8(file.string());
        const std::vector<uint8_t> bytes = test::read_bytes(file.string());
        if (!build_cache_file(path, drive(), {})) {
            // Pictures that cannot be cached still show directly.
            DirectTileSource direct(path);
            ASSERT_TRUE(direct.open());
            EXPECT_TRUE(test::assemble_level(direct, direct.levels()).ok);
            continue;
        }
        expect_levels_match(path, bytes);
    }
}

}  // namespace
}  // namespace vistrel
