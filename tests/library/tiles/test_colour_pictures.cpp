// Pictures with ICC profiles through the cache file and the tile sources: every level, the
// thumbnail and every full-size tile in sRGB; sRGB and profile-less pictures unchanged; CMYK
// and grey profiles; broken profiles ignored; cache files from before conversion.

#include <gtest/gtest.h>

#include <filesystem>

#include "colour_samples.h"
#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/tiles/cache_tile_source.h"
#include "library/tiles/direct_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"
#include "tile_check.h"

namespace vistrel {
namespace {

constexpr int kWidth = 1200, kHeight = 800;  // three halvings

// The left half red, the right half green (neither at the edge of the gamut).
std::vector<uint8_t> red_and_green() {
    std::vector<uint8_t> rgb(size_t(kWidth) * kHeight * 3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            uint8_t* p = &rgb[(size_t(y) * kWidth + x) * 3];
            const bool left = x < kWidth / 2;
            p[0] = left ? 230 : 20;
            p[1] = left ? 20 : 230;
            p[2] = 20;
        }
    return rgb;
}

enum class Hue { Red, Green, Other };

Hue hue_of(Pixel p) {
    const int r = red8(p), g = green8(p), b = blue8(p);
    if (r > 180 && g < 70 && b < 70) return Hue::Red;
    if (g > 180 && r < 70 && b < 70) return Hue::Green;
    return Hue::Other;
}

class ColourPictureTest : public ::testing::Test {
protected:
    std::u16string cached(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        const std::u16string path = from_utf8(m_dir.file(name));
        EXPECT_TRUE(build_cache_file(path, drive(), {}));
        return path;
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }
    CacheHeader header_of(const std::u16string& path) const {
        FileStream file(cache_file_name(path, drive()), OpenMode::Read);
        CacheHeader header;
        EXPECT_TRUE(header.read(file, file.size()));
        return header;
    }
    // The hues at the left and right of the picture: in the thumbnail, in a reduced level,
    // in the smallest, and in full-size tiles (which must come from records).
    void expect_hues(const std::u16string& path, Hue left, Hue right) {
        const std::unique_ptr<Bitmap> thumbnail = load_thumbnail(path, drive());
        ASSERT_TRUE(thumbnail);
        EXPECT_EQ(hue_of(thumbnail->row(32)[8]), left) << "thumbnail";
        EXPECT_EQ(hue_of(thumbnail->row(32)[56]), right) << "thumbnail";
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        ASSERT_EQ(source.levels(), 3);
        for (const int level : {0, 1}) {
            const int last = source.tile_grid(level).w - 1;
            const auto first = source.make_tile(0, 0, level),
                       end = source.make_tile(last, 0, level);
            ASSERT_TRUE(first && end);
            const int y = source.tile_size(0, 0, level).h / 2;
            EXPECT_EQ(hue_of(first->row(y)[10]), left) << "level " << level;
            EXPECT_EQ(hue_of(end->row(y)[source.tile_size(last, 0, level).w - 10]), right)
                << "level " << level;
        }
        EXPECT_TRUE(source.uses_records(3));
        const auto first = source.make_tile(0, 1, 3), last = source.make_tile(4, 1, 3);
        ASSERT_TRUE(first && last);
        EXPECT_EQ(hue_of(first->row(100)[100]), left) << "full size";
        EXPECT_EQ(hue_of(last->row(100)[100]), right) << "full size";
        DirectTileSource direct(path);
        ASSERT_TRUE(direct.open());
        const auto straight = direct.make_tile(0, 1, 3);
        ASSERT_TRUE(straight);
        EXPECT_EQ(hue_of(straight->row(100)[100]), left) << "direct";
    }
    test::TempDir m_dir;
};

TEST_F(ColourPictureTest, ProfileThatSwapsRedAndGreenShowsThemSwappedEverywhere) {
    const std::vector<uint8_t> plain = test::encode_rgb(red_and_green(), kWidth, kHeight, 90);
    const std::u16string path =
        cached("swapped.jpg", test::with_icc_profile(plain, test::swapped_profile()));
    EXPECT_EQ(header_of(path).colours, CacheColours::Converted);
    expect_hues(path, Hue::Green, Hue::Red);
    EXPECT_TRUE(inspect_cache_file(cache_file_name(path, drive()), path).valid);
    // In many small chunks, the same.
    expect_hues(cached("chunked.jpg", test::with_icc_profile(plain, test::swapped_profile(), 97)),
                Hue::Green, Hue::Red);
    // A progressive picture's baseline copy keeps the profile, so its full-size tiles from
    // records are converted too.
    const std::vector<uint8_t> progressive =
        test::encode_pixels(red_and_green(), kWidth, kHeight, 3, true);
    const std::u16string copied =
        cached("progressive.jpg", test::with_icc_profile(progressive, test::swapped_profile()));
    EXPECT_TRUE(header_of(copied).has_copy());
    expect_hues(copied, Hue::Green, Hue::Red);
}

TEST_F(ColourPictureTest, SrgbProfilesAndBrokenOnesLeaveThePixelsAsTheyAre) {
    const std::vector<uint8_t> plain = test::encode_rgb(red_and_green(), kWidth, kHeight, 90);
    const std::u16string bare = cached("bare.jpg", plain);
    EXPECT_EQ(header_of(bare).colours, CacheColours::AsStored);
    expect_hues(bare, Hue::Red, Hue::Green);
    const std::vector<uint8_t> profile = test::swapped_profile();
    const std::vector<uint8_t> broken(profile.begin(), profile.begin() + 100);
    for (const auto& [name, tagged] :
         {std::pair{"srgb.jpg", test::with_icc_profile(plain, test::srgb_profile())},
          std::pair{"broken.jpg", test::with_icc_profile(plain, broken)},
          std::pair{"lost-chunk.jpg", test::with_icc_profile(plain, profile, 97)}}) {
        std::vector<uint8_t> bytes = tagged;
        if (std::string(name) == "lost-chunk.jpg") {
            // The second chunk's number becomes the first's: one repeated, one missing.
            const size_t second = 2 + (2 + 2 + 14 + 97) + 2 + 2 + 12;
            bytes[second] = 1;
        }
        const std::u16string path = cached(name, bytes);
        EXPECT_EQ(header_of(path).colours, CacheColours::AsStored) << name;
        expect_hues(path, Hue::Red, Hue::Green);
        // Levels as the profile-less picture's, to the byte.
        EXPECT_EQ(test::cache_level_bytes(to_utf8(cache_file_name(path, drive())), bytes, 1),
                  test::cache_level_bytes(to_utf8(cache_file_name(bare, drive())), plain, 1))
            << name;
    }
}

TEST_F(ColourPictureTest, GreyAndCmykProfilesAreUsed) {
    // Linear grey: stored 128 is half the light, which sRGB writes as 188.
    const std::vector<uint8_t> grey(size_t(kWidth) * kHeight, 128);
    const std::u16string path = cached(
        "grey.jpg", test::with_icc_profile(test::encode_pixels(grey, kWidth, kHeight, 1, false),
                                           test::linear_grey_profile()));
    CacheTileSource source(path, drive());
    ASSERT_TRUE(source.open());
    for (const int level : {0, 3}) {
        const auto tile = source.make_tile(0, 0, level);
        ASSERT_TRUE(tile);
        EXPECT_NEAR(green8(tile->row(50)[50]), 188, 4) << "level " << level;
    }
    EXPECT_NEAR(green8(load_thumbnail(path, drive())->row(32)[32]), 188, 4);

    // Cyan ink shows magenta through this profile, cyan without it.
    std::vector<uint8_t> cyan(size_t(kWidth) * kHeight * 4, 0);
    for (size_t i = 0; i < cyan.size(); i += 4)
        cyan[i] = 255;
    const std::vector<uint8_t> cmyk = test::encode_cmyk(cyan, kWidth, kHeight, false, false);
    for (const bool profiled : {false, true}) {
        const std::u16string ink =
            cached(profiled ? "profiled.jpg" : "plain.jpg",
                   profiled ? test::with_icc_profile(cmyk, test::odd_cyan_cmyk_profile()) : cmyk);
        CacheTileSource ink_source(ink, drive());
        ASSERT_TRUE(ink_source.open());
        for (const int level : {0, 3}) {
            const auto tile = ink_source.make_tile(level ? 1 : 0, level ? 1 : 0, level);
            ASSERT_TRUE(tile);
            const Pixel p = tile->row(20)[20];
            EXPECT_NEAR(red8(p), profiled ? 255 : 0, 24) << profiled << " level " << level;
            EXPECT_NEAR(green8(p), profiled ? 0 : 255, 24) << profiled << " level " << level;
        }
    }
}

TEST_F(ColourPictureTest, CacheFilesFromBeforeConversionAreOutOfDateOnlyWithAProfile) {
    const std::vector<uint8_t> plain = test::encode_rgb(red_and_green(), kWidth, kHeight, 90);
    const std::u16string swapped =
        cached("swapped.jpg", test::with_icc_profile(plain, test::swapped_profile()));
    const std::u16string bare = cached("bare.jpg", plain);
    for (const std::u16string& path : {swapped, bare}) {
        EXPECT_FALSE(colours_out_of_date(path, drive()));
        // As an older build wrote it: without the entries at the end.
        const std::string name = to_utf8(cache_file_name(path, drive()));
        std::filesystem::resize_file(name, header_of(path).entries_offset);
        EXPECT_EQ(header_of(path).colours, CacheColours::Unrecorded);
        const bool stale = path == swapped;
        EXPECT_EQ(colours_out_of_date(path, drive()), stale);
        EXPECT_EQ(inspect_cache_file(cache_file_name(path, drive()), path).valid, !stale);
        CacheTileSource source(path, drive());
        EXPECT_EQ(source.open(), !stale);
        // Built again, it is whole.
        ASSERT_TRUE(build_cache_file(path, drive(), {}));
        EXPECT_FALSE(colours_out_of_date(path, drive()));
    }
}

}  // namespace
}  // namespace vistrel
