// Every format's reader through the one interface: the pixels each colour type, bit depth
// and layout decodes to, the orientation, the profile, and refusals of hostile files.

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "colour_samples.h"
#include "format_samples.h"
#include "jpeg_samples.h"
#include "library/formats/picture_source.h"
#include "picture_check.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

constexpr uint32_t kBackground = 0x204060;

std::vector<uint8_t> random_bytes(size_t count, uint32_t seed) {
    std::vector<uint8_t> bytes(count);
    for (uint8_t& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 16);
    }
    return bytes;
}

using test::Decoded;
using test::decode;
using test::max_difference;

// Decodes a sample and compares it with what it should show, within `tolerance`.
void expect_shows(const test::FormatSample& sample, PictureFormat format, int tolerance,
                  const std::string& what) {
    SCOPED_TRACE(what);
    if (sample.bytes.empty()) GTEST_SKIP() << sample.skipped;
    const Decoded d = decode(sample.bytes);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_EQ(d.source->format(), format);
    EXPECT_EQ(d.source->width(), sample.width);
    EXPECT_EQ(d.source->height(), sample.height);
    EXPECT_FALSE(d.source->cut_short());
    EXPECT_LE(max_difference(d.rgb, test::flattened(sample, kBackground)), tolerance);
}

class PictureSourceTest : public ::testing::Test {
protected:
    void SetUp() override { set_transparency_background(kBackground); }
    void TearDown() override { set_transparency_background(0); }
    test::TempDir m_dir;
};

TEST_F(PictureSourceTest, FormatsKnownByTheirFirstBytesAndNamesWithoutCase) {
    EXPECT_EQ(picture_format(test::make_png({}).bytes, u"a.jpg"), PictureFormat::Png);
    EXPECT_EQ(picture_format(test::make_gif(8, 8, false, false).bytes), PictureFormat::Gif);
    EXPECT_EQ(picture_format(test::make_webp({}).bytes), PictureFormat::WebP);
    EXPECT_EQ(picture_format(test::make_jxl(8, 8, false, false).bytes), PictureFormat::JpegXl);
    const std::vector<uint8_t> tiff = test::make_tiff({}, m_dir.file("t.tif")).bytes;
    EXPECT_EQ(picture_format(tiff, u"x.TIF"), PictureFormat::Tiff);
    EXPECT_EQ(picture_format(tiff, u"x.DNG"), PictureFormat::Raw);
    const std::vector<uint8_t> heic = test::make_heif(16, 16, false).bytes;
    if (!heic.empty()) EXPECT_EQ(picture_format(heic), PictureFormat::Heif);
    const std::vector<uint8_t> avif = test::make_heif(16, 16, true).bytes;
    if (!avif.empty()) EXPECT_EQ(picture_format(avif), PictureFormat::Avif);
    const std::vector<uint8_t> noise = random_bytes(256, 7);
    EXPECT_EQ(picture_format(noise, u"x.avif"), PictureFormat::Unknown);
    EXPECT_EQ(picture_format(std::vector<uint8_t>{}), PictureFormat::Unknown);

    for (const char16_t* name : {u"a.JPG", u"b.jpeg", u"c.Png", u"d.HEIC", u"e.heif", u"f.avif",
                                 u"g.webp", u"h.gif", u"i.TIFF", u"j.tif", u"k.jxl", u"l.CR2",
                                 u"m.cr3", u"n.nef", u"o.ARW", u"p.dng", u"q.orf", u"r.rw2",
                                 u"s.raf", u"t.pef"})
        EXPECT_TRUE(is_picture_name(name)) << to_utf8(name);
    for (const char16_t* name : {u"a.txt", u"png", u".png", u"dir.png/x", u"a.jpg.part"})
        EXPECT_FALSE(is_picture_name(name)) << to_utf8(name);
}

TEST_F(PictureSourceTest, PngOfEveryColourTypeAndDepth) {
    const std::vector<std::pair<int, std::vector<int>>> kinds = {
        {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}}, {PNG_COLOR_TYPE_RGB, {8, 16}},
        {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},  {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
        {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}}};
    for (const auto& [type, depths] : kinds)
        for (const int depth : depths)
            for (const bool interlaced : {false, true}) {
                test::PngOptions options;
                options.colour_type = type;
                options.bit_depth = depth;
                options.interlaced = interlaced;
                expect_shows(test::make_png(options), PictureFormat::Png, 1,
                             "type " + std::to_string(type) + " depth " + std::to_string(depth) +
                                 (interlaced ? " Adam7" : ""));
            }
    test::PngOptions palette;
    palette.colour_type = PNG_COLOR_TYPE_PALETTE;
    palette.transparency = true;
    expect_shows(test::make_png(palette), PictureFormat::Png, 1, "palette with tRNS");
    test::PngOptions grey;
    grey.colour_type = PNG_COLOR_TYPE_GRAY;
    grey.transparency = true;
    expect_shows(test::make_png(grey), PictureFormat::Png, 1, "grey with tRNS");
}

TEST_F(PictureSourceTest, TiffStripsAndTilesOfEightAndSixteenBits) {
    for (const int bits : {8, 16})
        for (const bool tiled : {false, true})
            for (const bool alpha : {false, true}) {
                test::TiffOptions options;
                options.bits = bits;
                options.tiled = tiled;
                options.alpha = alpha;
                expect_shows(test::make_tiff(options, m_dir.file("t.tif")), PictureFormat::Tiff, 1,
                             std::to_string(bits) + (tiled ? " bits tiled" : " bits strips") +
                                 (alpha ? " alpha" : ""));
            }
    test::TiffOptions turned;
    turned.orientation = 6;
    const Decoded d = decode(test::make_tiff(turned, m_dir.file("t.tif")).bytes);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_EQ(d.source->orientation(), 6);
    EXPECT_EQ(d.source->width(), turned.width);  // stored, not turned
}

TEST_F(PictureSourceTest, WebPLossyLosslessAlphaAndTheFirstFrameOfAnAnimation) {
    test::WebPOptions options;
    expect_shows(test::make_webp(options), PictureFormat::WebP, 24, "lossy");
    options.lossless = true;
    expect_shows(test::make_webp(options), PictureFormat::WebP, 0, "lossless");
    options.alpha = true;
    expect_shows(test::make_webp(options), PictureFormat::WebP, 1, "lossless alpha");
    options.lossless = false;
    expect_shows(test::make_webp(options), PictureFormat::WebP, 24, "lossy alpha");
    test::WebPOptions animated;
    animated.animated = true;
    expect_shows(test::make_webp(animated), PictureFormat::WebP, 1, "animated");
}

// Larger files are handed to libwebp and libjxl in steps and their rows taken out as they
// are decoded: the pixels are still the picture's, and a WebP cut short gives its first
// rows as the whole file does, the rest grey. (libjxl may give no rows before the end of
// its frame's data: a JPEG XL cut short may be refused with a reason instead.)
TEST_F(PictureSourceTest, WebPAndJpegXlRowsComeAsTheyAreDecoded) {
    const int width = 2000, height = 1500;
    const std::vector<uint8_t> rgb = test::textured_rgb(width, height);
    for (const std::string format : {"webp", "jxl"}) {
        SCOPED_TRACE(format);
        std::vector<uint8_t> bytes =
            test::encode_rgb_as(format, rgb, width, height, m_dir.file("scratch.tif"));
        ASSERT_GT(bytes.size(), size_t(256) << 10) << "more than a few steps of the file";
        const Decoded whole = decode(bytes);
        ASSERT_TRUE(whole.source) << whole.problem;
        EXPECT_FALSE(whole.source->cut_short());
        EXPECT_GT(test::psnr(whole.rgb, rgb), 25);
        bytes.resize(bytes.size() * 2 / 3);
        const Decoded cut = decode(bytes);
        if (format == "jxl" && (!cut.source || cut.rgb.empty())) {
            EXPECT_FALSE(cut.source ? cut.source->problem().empty() : cut.problem.empty());
            continue;
        }
        ASSERT_TRUE(cut.source) << cut.problem;
        EXPECT_TRUE(cut.source->cut_short());
        ASSERT_EQ(cut.rgb.size(), whole.rgb.size());
        const size_t first_rows = size_t(width) * 3 * 64;
        EXPECT_TRUE(std::equal(cut.rgb.begin(), cut.rgb.begin() + ptrdiff_t(first_rows),
                               whole.rgb.begin()));
        EXPECT_EQ(cut.rgb.back(), 128) << "the rows not decoded are grey";
    }
}

TEST_F(PictureSourceTest, GifFirstFrameWithTransparencyAndInterlacing) {
    expect_shows(test::make_gif(300, 40, false, false), PictureFormat::Gif, 0, "plain");
    expect_shows(test::make_gif(300, 40, true, true), PictureFormat::Gif, 0, "transparent interlaced");
}

TEST_F(PictureSourceTest, JpegXlOfEightAndSixteenBits) {
    expect_shows(test::make_jxl(40, 30, false, false), PictureFormat::JpegXl, 1, "8 bits");
    expect_shows(test::make_jxl(40, 30, true, true), PictureFormat::JpegXl, 1, "16 bits alpha");
}

TEST_F(PictureSourceTest, HeicAndAvif) {
    expect_shows(test::make_heif(64, 48, false), PictureFormat::Heif, 40, "HEIC");
    expect_shows(test::make_heif(64, 48, true), PictureFormat::Avif, 40, "AVIF");
}

TEST_F(PictureSourceTest, AProfileSwappingRedAndGreenShowsThemSwapped) {
    // A red picture whose profile says its red is green.
    test::PngOptions options;
    options.icc_profile = test::swapped_profile();
    const test::FormatSample png = test::make_png(options);
    const Decoded d = decode(png.bytes);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_TRUE(d.source->converts_colours());
    // The right end of the top row: red 255, green 0 stored, shown as green.
    const size_t at = size_t(options.width - 1) * 3;
    EXPECT_LT(d.rgb[at], 40);
    EXPECT_GT(d.rgb[at + 1], 215);

    test::TiffOptions tiff;
    tiff.icc_profile = test::swapped_profile();
    const Decoded t = decode(test::make_tiff(tiff, m_dir.file("t.tif")).bytes);
    ASSERT_TRUE(t.source) << t.problem;
    EXPECT_TRUE(t.source->converts_colours());

    test::WebPOptions webp;
    webp.lossless = true;
    webp.icc_profile = test::swapped_profile();
    const Decoded w = decode(test::make_webp(webp).bytes);
    ASSERT_TRUE(w.source) << w.problem;
    EXPECT_TRUE(w.source->converts_colours());
}

// A PNG header of the given size with valid checksums and no image data after it.
std::vector<uint8_t> png_header(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n', 0, 0, 0, 13,
                                  'I',  'H', 'D', 'R'};
    for (const uint32_t v : {width, height})
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.push_back(uint8_t(v >> shift));
    bytes.insert(bytes.end(), {8, 2, 0, 0, 0});
    const uint32_t crc = uint32_t(crc32(0, bytes.data() + 12, 17));
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes.push_back(uint8_t(crc >> shift));
    // The start of the image data, where the header ends.
    bytes.insert(bytes.end(), {0, 0, 0, 0, 'I', 'D', 'A', 'T', 0x35, 0xAF, 0x06, 0x1E});
    return bytes;
}

TEST_F(PictureSourceTest, HostileFilesAreRefusedWithAReason) {
    Decoded huge = decode(png_header(65535, 65535));
    EXPECT_FALSE(huge.source) << "a 4-gigapixel claim is not decoded";
    EXPECT_NE(huge.problem.find("too large"), std::string::npos) << huge.problem;

    const Decoded noise = decode(random_bytes(4096, 3), u"x.avif");
    EXPECT_FALSE(noise.source);
    EXPECT_FALSE(noise.problem.empty());

    // Cut short: what decoded stands, or a reason; never a crash.
    test::PngOptions big;
    big.width = 1200;
    big.height = 900;
    std::vector<uint8_t> png = test::make_png(big).bytes;
    png.resize(png.size() * 3 / 5);
    const Decoded half = decode(png);
    ASSERT_TRUE(half.source) << half.problem;
    EXPECT_TRUE(half.source->cut_short()) << png.size() << " bytes";
    EXPECT_EQ(half.rgb.size(), size_t(1200) * 900 * 3);

    test::WebPOptions options;
    options.width = 300;
    options.height = 200;
    std::vector<uint8_t> webp = test::make_webp(options).bytes;
    webp.resize(webp.size() / 2);
    const Decoded cut_webp = decode(webp);
    EXPECT_TRUE(!cut_webp.source || cut_webp.rgb.size() == size_t(300) * 200 * 3);
    if (!cut_webp.source) EXPECT_FALSE(cut_webp.problem.empty());

    std::vector<uint8_t> heic = test::make_heif(64, 64, false).bytes;
    if (!heic.empty()) {
        heic.resize(heic.size() * 2 / 3);
        const Decoded cut = decode(heic);
        if (!cut.source) EXPECT_FALSE(cut.problem.empty());
    }

    // A broken profile is ignored: the pixels show as stored.
    std::vector<uint8_t> broken = test::swapped_profile();
    for (size_t i = 0; i < 40 && i < broken.size(); ++i)
        broken[i] ^= 0x5A;
    test::TiffOptions with_broken;
    with_broken.icc_profile = broken;
    const Decoded b = decode(test::make_tiff(with_broken, m_dir.file("t.tif")).bytes);
    ASSERT_TRUE(b.source) << b.problem;
    EXPECT_FALSE(b.source->converts_colours());
    EXPECT_LE(max_difference(b.rgb, test::flattened(test::make_tiff({}, m_dir.file("u.tif")), kBackground)), 1);
}

}  // namespace
}  // namespace vistrel
