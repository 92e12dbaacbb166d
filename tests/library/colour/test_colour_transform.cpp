// Transforms into sRGB: from ICC profiles made here with lcms2, from PNG's chunks and from
// HEIF's nclx code points; and what is refused.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "colour_samples.h"
#include "library/colour/colour_description.h"
#include "library/colour/colour_transform.h"

namespace vistrel {
namespace {

using test::swapped_profile;

std::vector<uint8_t> convert(const ColourTransform& transform, const std::vector<uint8_t>& in) {
    const size_t count = in.size() / size_t(bytes_per_pixel(transform.input()));
    std::vector<uint8_t> out(count * size_t(transform.output_channels()));
    transform.convert(in.data(), out.data(), count);
    return out;
}

std::vector<uint8_t> as_bytes(const std::vector<uint16_t>& samples) {
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

void expect_near(const std::vector<uint8_t>& got, const std::vector<uint8_t>& want,
                 int within = 2) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], within) << "byte " << i;
}

TEST(ColourTransform, SwappedProfileSwapsRedAndGreenInEveryLayout) {
    const std::vector<uint8_t> profile = swapped_profile();
    ASSERT_FALSE(profile.empty());
    auto rgb = ColourTransform::from_icc(profile, PixelLayout::Rgb8);
    ASSERT_TRUE(rgb);
    EXPECT_EQ(rgb->output_channels(), 3);
    expect_near(convert(*rgb, {255, 0, 0, 0, 255, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0}),
                {0, 255, 0, 255, 0, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0});
    // In place.
    std::vector<uint8_t> row{255, 0, 0, 10, 200, 30};
    rgb->convert(row.data(), row.data(), 2);
    expect_near(row, {0, 255, 0, 200, 10, 30}, 6);

    auto rgba = ColourTransform::from_icc(profile, PixelLayout::Rgba8);
    ASSERT_TRUE(rgba);
    EXPECT_EQ(rgba->output_channels(), 4);
    expect_near(convert(*rgba, {255, 0, 0, 77, 0, 255, 0, 200}), {0, 255, 0, 77, 255, 0, 0, 200},
                1);

    auto rgb16 = ColourTransform::from_icc(profile, PixelLayout::Rgb16);
    ASSERT_TRUE(rgb16);
    expect_near(convert(*rgb16, as_bytes({65535, 0, 0})), {0, 255, 0});
    auto rgba16 = ColourTransform::from_icc(profile, PixelLayout::Rgba16);
    ASSERT_TRUE(rgba16);
    expect_near(convert(*rgba16, as_bytes({0, 65535, 0, 32896})), {255, 0, 0, 128}, 1);
}

TEST(ColourTransform, SharedTransformsAreMadeOncePerProfileAndLayout) {
    const std::vector<uint8_t> profile = swapped_profile();
    const auto first = ColourTransform::shared_from_icc(profile, PixelLayout::Rgb8);
    ASSERT_TRUE(first);
    EXPECT_EQ(ColourTransform::shared_from_icc(profile, PixelLayout::Rgb8), first);
    const auto rgba = ColourTransform::shared_from_icc(profile, PixelLayout::Rgba8);
    ASSERT_TRUE(rgba);
    EXPECT_NE(rgba, first);
    EXPECT_EQ(rgba->output_channels(), 4);
    // Another profile of the same size is another transform.
    std::vector<uint8_t> other = profile;
    other[other.size() / 2] ^= 1;
    EXPECT_NE(ColourTransform::shared_from_icc(other, PixelLayout::Rgb8), first);
    EXPECT_FALSE(ColourTransform::shared_from_icc(test::srgb_profile(), PixelLayout::Rgb8));
    EXPECT_FALSE(ColourTransform::shared_from_icc(test::srgb_profile(), PixelLayout::Rgb8));
    expect_near(convert(*ColourTransform::shared_from_icc(profile, PixelLayout::Rgb8), {255, 0, 0}),
                {0, 255, 0});
}

TEST(ColourTransform, SharedTransformsServeSeveralThreadsAtOnce) {
    const std::vector<std::vector<uint8_t>> profiles{swapped_profile(), test::adobe_rgb_profile(),
                                                     test::srgb_profile()};
    std::vector<std::thread> threads;
    std::atomic<int> swapped{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int round = 0; round < 20; ++round)
                for (const auto& profile : profiles)
                    if (const auto transform =
                            ColourTransform::shared_from_icc(profile, PixelLayout::Rgb8)) {
                        std::vector<uint8_t> row(3 * 256, 0);
                        for (size_t i = 0; i < row.size(); i += 3)
                            row[i] = 255;
                        transform->convert(row.data(), row.data(), 256);
                        if (&profile == &profiles[0] && row[1] > 250) ++swapped;
                    }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(swapped, 4 * 20);
}

TEST(ColourTransform, AgreesWithLcmsOnEveryPixelInPlaceAndWithAlpha) {
    std::vector<uint8_t> rgb(3 * 20000);
    uint32_t noise = 1;
    for (uint8_t& byte : rgb) {
        noise = noise * 1664525u + 1013904223u;
        byte = uint8_t(noise >> 24);
    }
    for (const std::vector<uint8_t>& profile :
         {test::adobe_rgb_profile(), test::prophoto_profile(), swapped_profile()}) {
        const std::vector<uint8_t> reference = test::lcms_srgb(profile, rgb);
        auto transform = ColourTransform::from_icc(profile, PixelLayout::Rgb8);
        ASSERT_TRUE(transform);
        std::vector<uint8_t> in_place = rgb;
        transform->convert(in_place.data(), in_place.data(), in_place.size() / 3);
        expect_near(in_place, reference, 1);
        std::vector<uint8_t> rgba;
        for (size_t i = 0; i < rgb.size(); i += 3)
            rgba.insert(rgba.end(), {rgb[i], rgb[i + 1], rgb[i + 2], uint8_t(i)});
        auto with_alpha = ColourTransform::from_icc(profile, PixelLayout::Rgba8);
        ASSERT_TRUE(with_alpha);
        with_alpha->convert(rgba.data(), rgba.data(), rgba.size() / 4);
        for (size_t i = 0, j = 0; i < rgb.size(); i += 3, j += 4) {
            ASSERT_NEAR(rgba[j], reference[i], 1);
            ASSERT_NEAR(rgba[j + 2], reference[i + 2], 1);
            ASSERT_EQ(rgba[j + 3], uint8_t(i));
        }
    }
}

TEST(ColourTransform, GreyProfilesGiveGreyRgb) {
    const std::vector<uint8_t> profile = test::linear_grey_profile();
    auto grey = ColourTransform::from_icc(profile, PixelLayout::Gray8);
    ASSERT_TRUE(grey);
    expect_near(convert(*grey, {0, 128, 255}), {0, 0, 0, 188, 188, 188, 255, 255, 255});
    auto grey16 = ColourTransform::from_icc(profile, PixelLayout::GrayAlpha16);
    ASSERT_TRUE(grey16);
    expect_near(convert(*grey16, as_bytes({32768, 65535})), {188, 188, 188, 255});
    auto grey_alpha = ColourTransform::from_icc(profile, PixelLayout::GrayAlpha8);
    ASSERT_TRUE(grey_alpha);
    expect_near(convert(*grey_alpha, {128, 9}), {188, 188, 188, 9});
    // The darks, where the curve is steepest, to within a level of the exact values.
    const std::vector<uint8_t> dark = convert(*grey, {1, 2, 3, 5, 10});
    const int exact[5] = {13, 22, 28, 38, 56};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_NEAR(dark[3 * i], exact[i], 1) << "level " << i;
    auto wide = ColourTransform::from_icc(profile, PixelLayout::Gray16);
    ASSERT_TRUE(wide);
    expect_near(convert(*wide, as_bytes({771, 1285, 65535})), {28, 28, 28, 38, 38, 38, 255, 255, 255});
}

TEST(ColourTransform, CmykProfilesApplyToPlainAndInvertedInk) {
    const std::vector<uint8_t> profile = test::odd_cyan_cmyk_profile();
    ASSERT_FALSE(profile.empty());
    auto plain = ColourTransform::from_icc(profile, PixelLayout::Cmyk8);
    auto inverted = ColourTransform::from_icc(profile, PixelLayout::InvertedCmyk8);
    ASSERT_TRUE(plain && inverted);
    // Full cyan shows magenta through this profile; no ink shows white.
    const std::vector<uint8_t> cyan = convert(*plain, {255, 0, 0, 0, 0, 0, 0, 0});
    expect_near(cyan, {255, 0, 255, 255, 255, 255}, 8);
    expect_near(convert(*inverted, {0, 255, 255, 255, 255, 255, 255, 255}), cyan, 1);
}

TEST(ColourTransform, RefusesProfilesThatNeedNoWorkOrCannotServe) {
    // sRGB under any name costs nothing.
    EXPECT_FALSE(ColourTransform::from_icc(test::srgb_profile(), PixelLayout::Rgb8));
    EXPECT_FALSE(ColourTransform::from_icc(test::srgb_profile(), PixelLayout::Rgba16));
    // A profile that does not fit the pixels.
    EXPECT_FALSE(ColourTransform::from_icc(test::linear_grey_profile(), PixelLayout::Rgb8));
    EXPECT_FALSE(ColourTransform::from_icc(swapped_profile(), PixelLayout::Gray8));
    EXPECT_FALSE(ColourTransform::from_icc(swapped_profile(), PixelLayout::Cmyk8));
    EXPECT_FALSE(ColourTransform::from_icc(test::odd_cyan_cmyk_profile(), PixelLayout::Rgb8));
    EXPECT_FALSE(ColourTransform::from_icc(test::device_link_profile(), PixelLayout::Rgb8));
}

TEST(ColourTransform, DamagedProfilesAreRefused) {
    const std::vector<uint8_t> good = test::adobe_rgb_profile();
    ASSERT_TRUE(ColourTransform::from_icc(good, PixelLayout::Rgb8));
    EXPECT_FALSE(ColourTransform::from_icc({}, PixelLayout::Rgb8));
    std::vector<uint8_t> noise(600);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 131 + 7);
    EXPECT_FALSE(ColourTransform::from_icc(noise, PixelLayout::Rgb8));
    // Cut short anywhere: refused or still usable, never a crash.
    for (size_t cut = 0; cut < good.size(); cut += 37) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + cut);
        auto transform = ColourTransform::from_icc(part, PixelLayout::Rgb8);
        if (transform) convert(*transform, {1, 2, 3});
    }
    // A tag table that points past the end.
    std::vector<uint8_t> wild = good;
    for (size_t at = 132; at + 12 <= 132 + 12 * 4 && at + 12 <= wild.size(); at += 12)
        wild[at + 4] = 0x7F;
    auto transform = ColourTransform::from_icc(wild, PixelLayout::Rgb8);
    if (transform) convert(*transform, {1, 2, 3});
}

TEST(ColourDescriptionTest, PngChunksInTheirOrderOfPrecedence) {
    PngColourChunks chunks;
    EXPECT_FALSE(png_colour_transform(chunks, PixelLayout::Rgb8));
    chunks.gamma = 45455;  // 1/2.2 means sRGB
    EXPECT_FALSE(png_colour_transform(chunks, PixelLayout::Rgb8));
    chunks.gamma = 100000;  // linear
    auto linear = png_colour_transform(chunks, PixelLayout::Gray8);
    ASSERT_TRUE(linear);
    expect_near(convert(*linear, {128}), {188, 188, 188});
    chunks.srgb = true;  // an sRGB chunk outranks gAMA
    EXPECT_FALSE(png_colour_transform(chunks, PixelLayout::Rgb8));
    const std::vector<uint8_t> profile = swapped_profile();
    chunks.icc_profile = profile;  // iCCP outranks both
    auto swapped = png_colour_transform(chunks, PixelLayout::Rgb8);
    ASSERT_TRUE(swapped);
    expect_near(convert(*swapped, {255, 0, 0}), {0, 255, 0});
    // A broken iCCP leaves the chunks beside it.
    const std::vector<uint8_t> broken(profile.begin(), profile.begin() + 40);
    chunks.icc_profile = broken;
    chunks.srgb = false;
    EXPECT_TRUE(png_colour_transform(chunks, PixelLayout::Rgb8));

    PngColourChunks chromaticities;
    chromaticities.has_chromaticities = true;
    chromaticities.chromaticities = {31270, 32900, 30000, 60000, 64000, 33000, 15000, 6000};
    auto by_chrm = png_colour_transform(chromaticities, PixelLayout::Rgb8);
    ASSERT_TRUE(by_chrm);
    expect_near(convert(*by_chrm, {255, 0, 0}), {0, 255, 0});
    chromaticities.chromaticities = {31270, 32900, 64000, 33000, 30000, 60000, 15000, 6000};
    EXPECT_FALSE(png_colour_description(chromaticities));  // sRGB's own
    chromaticities.chromaticities = {31270, 0, 64000, 33000, 30000, 60000, 15000, 6000};
    EXPECT_FALSE(png_colour_transform(chromaticities, PixelLayout::Rgb8));  // white at y = 0
    chromaticities.chromaticities = {31270, 32900, 10000, 10000, 20000, 20000, 30000, 30000};
    EXPECT_FALSE(png_colour_transform(chromaticities, PixelLayout::Rgb8));  // on one line
    PngColourChunks wild_gamma;
    wild_gamma.gamma = 7;
    EXPECT_FALSE(png_colour_description(wild_gamma));
}

TEST(ColourDescriptionTest, NclxCodePoints) {
    EXPECT_FALSE(nclx_colour_transform(1, 13, PixelLayout::Rgb8));  // sRGB
    EXPECT_FALSE(nclx_colour_transform(2, 2, PixelLayout::Rgb8));   // unspecified
    EXPECT_FALSE(nclx_colour_transform(1, 1, PixelLayout::Rgb8));   // BT.709 shown as sRGB
    EXPECT_FALSE(nclx_colour_transform(99, 13, PixelLayout::Rgb8));
    EXPECT_FALSE(nclx_colour_transform(12, 99, PixelLayout::Rgb8));
    EXPECT_FALSE(nclx_colour_transform(12, 13, PixelLayout::Cmyk8));
    // Display P3: grey stays grey; a P3 red lies beyond sRGB's and is held at its edge; a
    // muted P3 colour becomes a more saturated sRGB one.
    auto p3 = nclx_colour_transform(12, 13, PixelLayout::Rgb8);
    ASSERT_TRUE(p3);
    const std::vector<uint8_t> out = convert(*p3, {128, 128, 128, 255, 0, 0, 180, 120, 100});
    expect_near({out.begin(), out.begin() + 3}, {128, 128, 128});
    EXPECT_EQ(out[3], 255);
    EXPECT_LE(out[4], 2);
    EXPECT_GT(out[6], 185);
    EXPECT_LT(out[7], 120);
    // PQ: 203 cd/m2 (code value 0.58) is white, and above it too.
    auto pq = nclx_colour_transform(1, 16, PixelLayout::Rgb16);
    ASSERT_TRUE(pq);
    const uint16_t white = uint16_t(0.5807 * 65535), bright = 60000;
    expect_near(convert(*pq, as_bytes({white, white, white, bright, 0, 0})),
                {255, 255, 255, 255, 0, 0}, 3);
    // HLG: 75 % is reference white.
    auto hlg = nclx_colour_transform(9, 18, PixelLayout::Gray8);
    ASSERT_TRUE(hlg);
    expect_near(convert(*hlg, {191}), {255, 255, 255}, 4);
}

}  // namespace
}  // namespace vistrel
