// Grey pictures with a grey profile, and TIFF alpha stored associated or not.

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>

#include "colour_samples.h"
#include "format_samples.h"
#include "picture_check.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

constexpr uint32_t kBackground = 0x204060;

// The sRGB value of a stored grey that a linear profile says is that fraction of the light.
int srgb_of_linear(double stored) {
    const double l = stored / 255;
    const double v = l <= 0.0031308 ? 12.92 * l : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
    return int(std::lround(v * 255));
}

// Checks every pixel of a decoded grey picture against the linear profile's conversion of
// its stored grey (`stored` per pixel), laid over the background where `alpha` is clear.
void expect_linear_grey(const test::Decoded& d, const test::FormatSample& sample,
                        const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_TRUE(d.source->converts_colours());
    ASSERT_EQ(d.rgb.size(), size_t(sample.width) * sample.height * 3);
    const int back[3] = {0x20, 0x40, 0x60};
    int worst = 0;
    size_t worst_at = 0;
    for (size_t i = 0; i < size_t(sample.width) * sample.height; ++i) {
        const int a = sample.rgba[4 * i + 3];
        const int grey = srgb_of_linear(sample.rgba[4 * i]);
        for (int c = 0; c < 3; ++c) {
            const int expected = (grey * a + back[c] * (255 - a) + 127) / 255;
            const int off = std::abs(int(d.rgb[3 * i + size_t(c)]) - expected);
            if (off > worst) {
                worst = off;
                worst_at = i;
            }
        }
    }
    EXPECT_LE(worst, 2) << "stored " << int(sample.rgba[4 * worst_at]) << " shows "
                        << int(d.rgb[3 * worst_at]);
}

class GreyAndAlphaTest : public ::testing::Test {
protected:
    void SetUp() override { set_transparency_background(kBackground); }
    void TearDown() override { set_transparency_background(0); }
    test::TempDir m_dir;
};

TEST_F(GreyAndAlphaTest, AGreyProfileConvertsGreyPngAndTiff) {
    const std::vector<uint8_t> linear = test::linear_grey_profile();
    for (const int depth : {8, 16})
        for (const int type : {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA}) {
            test::PngOptions options;
            options.colour_type = type;
            options.bit_depth = depth;
            options.icc_profile = linear;
            const test::FormatSample png = test::make_png(options);
            expect_linear_grey(test::decode(png.bytes), png,
                               "PNG type " + std::to_string(type) + " depth " + std::to_string(depth));
        }
    test::PngOptions keyed;
    keyed.colour_type = PNG_COLOR_TYPE_GRAY;
    keyed.transparency = true;
    keyed.icc_profile = linear;
    const test::FormatSample png = test::make_png(keyed);
    expect_linear_grey(test::decode(png.bytes), png, "PNG grey with tRNS");

    // Mid-grey, stored 128, is half the light: sRGB 188, not 128.
    test::PngOptions flat;
    flat.colour_type = PNG_COLOR_TYPE_GRAY;
    flat.width = 256;
    flat.height = 1;
    flat.icc_profile = linear;
    const test::Decoded ramp = test::decode(test::make_png(flat).bytes);
    ASSERT_TRUE(ramp.source) << ramp.problem;
    EXPECT_NEAR(ramp.rgb[3 * 128], 188, 1);

    for (const bool alpha : {false, true})
        for (const bool tiled : {false, true}) {
            test::TiffOptions options;
            options.grey = true;
            options.alpha = alpha;
            options.tiled = tiled;
            options.icc_profile = linear;
            const test::FormatSample tiff = test::make_tiff(options, m_dir.file("g.tif"));
            expect_linear_grey(test::decode(tiff.bytes), tiff,
                               std::string("TIFF grey") + (alpha ? " alpha" : "") +
                                   (tiled ? " tiled" : ""));
        }
}

TEST_F(GreyAndAlphaTest, ABrokenGreyProfileIsIgnored) {
    // Its header and tag table whole (libpng checks that much), its curve's data garbled.
    std::vector<uint8_t> broken = test::linear_grey_profile();
    int garbled = 0;
    for (size_t i = 128; i + 4 <= broken.size(); ++i)
        if (std::memcmp(&broken[i], "curv", 4) == 0 || std::memcmp(&broken[i], "para", 4) == 0) {
            std::memcpy(&broken[i], "zq\x01\x7f", 4);
            ++garbled;
        }
    ASSERT_GT(garbled, 0);
    test::PngOptions options;
    options.colour_type = PNG_COLOR_TYPE_GRAY;
    options.icc_profile = broken;
    const test::FormatSample png = test::make_png(options);
    if (png.bytes.empty()) GTEST_SKIP() << "libpng refuses to write the broken profile";
    const test::Decoded d = test::decode(png.bytes);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_FALSE(d.source->converts_colours());
    EXPECT_LE(test::max_difference(d.rgb, test::flattened(png, kBackground)), 1);

    test::TiffOptions tiff;
    tiff.grey = true;
    tiff.icc_profile = broken;
    const test::FormatSample t = test::make_tiff(tiff, m_dir.file("b.tif"));
    const test::Decoded b = test::decode(t.bytes);
    ASSERT_TRUE(b.source) << b.problem;
    EXPECT_FALSE(b.source->converts_colours());
    EXPECT_LE(test::max_difference(b.rgb, test::flattened(t, kBackground)), 1);

    // An RGB profile on a grey picture is not its colours' either.
    tiff.icc_profile = test::swapped_profile();
    const test::FormatSample rgb = test::make_tiff(tiff, m_dir.file("r.tif"));
    const test::Decoded r = test::decode(rgb.bytes);
    ASSERT_TRUE(r.source) << r.problem;
    EXPECT_LE(test::max_difference(r.rgb, test::flattened(rgb, kBackground)), 40)
        << "grey stays near grey";
}

TEST_F(GreyAndAlphaTest, TiffAlphaAssociatedOrNotIsLaidOverTheBackground) {
    // Alpha of every level: a colour multiplied by alpha twice, or not at all, shows.
    for (const bool associated : {false, true})
        for (const bool grey : {false, true})
            for (const int bits : {8, 16})
                for (const bool tiled : {false, true}) {
                    test::TiffOptions options;
                    options.tiled = tiled;
                    options.alpha = true;
                    options.soft_alpha = true;
                    options.associated = associated;
                    options.grey = grey;
                    options.bits = bits;
                    const test::FormatSample tiff = test::make_tiff(options, m_dir.file("a.tif"));
                    SCOPED_TRACE(std::string(associated ? "associated" : "unassociated") +
                                 (grey ? " grey " : " RGB ") + std::to_string(bits) +
                                 (tiled ? " tiled" : ""));
                    const test::Decoded d = test::decode(tiff.bytes);
                    ASSERT_TRUE(d.source) << d.problem;
                    EXPECT_LE(test::max_difference(d.rgb, test::flattened(tiff, kBackground)), 2);
                }
    // Associated alpha with a profile: the colours are converted as if never multiplied.
    test::TiffOptions profiled;
    profiled.alpha = true;
    profiled.soft_alpha = true;
    profiled.associated = true;
    profiled.icc_profile = test::swapped_profile();
    const test::Decoded p = test::decode(test::make_tiff(profiled, m_dir.file("p.tif")).bytes);
    ASSERT_TRUE(p.source) << p.problem;
    EXPECT_TRUE(p.source->converts_colours());
    profiled.icc_profile.clear();
    test::FormatSample plain = test::make_tiff(profiled, m_dir.file("q.tif"));
    // The expected picture: red and green exchanged before laying over the background.
    for (size_t i = 0; i < plain.rgba.size(); i += 4)
        std::swap(plain.rgba[i], plain.rgba[i + 1]);
    EXPECT_LE(test::max_difference(p.rgb, test::flattened(plain, kBackground)), 40);
}

}  // namespace
}  // namespace vistrel
