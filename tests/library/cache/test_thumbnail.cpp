// The 64 x 64 thumbnail: cropping and framing, and turning pixels for an orientation.

#include <gtest/gtest.h>

#include <algorithm>

#include "jpeg_samples.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/orientation.h"
#include "render/bitmap.h"

namespace vistrel {
namespace {

using test::JpegOptions;

test::DecodedPicture thumbnail_of(const JpegOptions& options) {
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    MemoryStream input(jpeg), output;
    EXPECT_TRUE(make_thumbnail(input, output, {}));
    return test::decode_jpeg(output.bytes());
}

// The window of `source` with its top-left corner at (x, y), black outside it.
std::vector<uint8_t> window(const test::DecodedPicture& source, int x, int y) {
    std::vector<uint8_t> out(64 * 64 * 3, 0);
    for (int r = 0; r < 64; ++r)
        for (int c = 0; c < 64; ++c) {
            const int sx = x + c, sy = y + r;
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) continue;
            for (int k = 0; k < 3; ++k)
                out[(r * 64 + c) * 3 + k] = source.rgb[(size_t(sy) * source.width + sx) * 3 + k];
        }
    return out;
}

void expect_crop(const JpegOptions& options, int scale, int x, int y) {
    SCOPED_TRACE(std::to_string(options.width) + "x" + std::to_string(options.height));
    const test::DecodedPicture thumbnail = thumbnail_of(options);
    ASSERT_EQ(thumbnail.width, 64);
    ASSERT_EQ(thumbnail.height, 64);
    const test::DecodedPicture source = test::decode_jpeg(test::make_jpeg(options), scale);
    EXPECT_GT(test::psnr(thumbnail.rgb, window(source, x, y)), 30.0);
    // The same window moved by a few pixels matches clearly worse.
    EXPECT_LT(test::psnr(thumbnail.rgb, window(source, x + 6, y + 6)),
              test::psnr(thumbnail.rgb, window(source, x, y)) - 3);
}

TEST(Thumbnail, CropsTheMiddleAndThePortraitTop) {
    JpegOptions options;
    options.smooth = true;
    options.width = 256;  // halved to 128 x 96, window from (32, 16)
    options.height = 192;
    expect_crop(options, 2, 32, 16);
    options.width = 200;  // portrait: halved to 100 x 150, window from (18, 0)
    options.height = 300;
    expect_crop(options, 2, 18, 0);
    options.width = 120;  // shorter side halved is 60: not halved
    options.height = 100;
    expect_crop(options, 1, 28, 18);
}

TEST(Thumbnail, FramesSmallPicturesInBlack) {
    JpegOptions options;
    options.smooth = true;
    options.width = 40;
    options.height = 30;
    // 12 black columns on each side, 17 black rows above and below.
    expect_crop(options, 1, -12, -17);
    const test::DecodedPicture thumbnail = thumbnail_of(options);
    auto pixel_sum = [&](int x, int y) {
        const uint8_t* p = &thumbnail.rgb[(size_t(y) * 64 + x) * 3];
        return p[0] + p[1] + p[2];
    };
    EXPECT_LT(pixel_sum(2, 2), 12);
    EXPECT_LT(pixel_sum(61, 61), 12);
    EXPECT_GT(pixel_sum(32, 32), 60);
}

TEST(Thumbnail, DamagedInputFails) {
    MemoryStream input(std::vector<uint8_t>{0xFF, 0xD8, 0xFF}), output;
    EXPECT_FALSE(make_thumbnail(input, output, {}));
    JpegOptions options;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    MemoryStream good(jpeg);
    EXPECT_FALSE(make_thumbnail(good, output, [] { return true; }));
}

TEST(Orientation, ApplyMirrorsAndTurns) {
    // [a b; c d] for every orientation: as stored, mirrored left-right, turned 180 degrees,
    // mirrored top-bottom, transposed, turned clockwise, transverse, turned anticlockwise.
    constexpr Pixel a = 1, b = 2, c = 3, d = 4;
    const Pixel expected[9][4] = {{},           {a, b, c, d}, {b, a, d, c},
                                  {d, c, b, a}, {c, d, a, b}, {a, c, b, d},
                                  {c, a, d, b}, {d, b, c, a}, {b, d, a, c}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        auto bitmap = Bitmap::create(2, 2);
        ASSERT_TRUE(bitmap);
        bitmap->row(0)[0] = a;
        bitmap->row(0)[1] = b;
        bitmap->row(1)[0] = c;
        bitmap->row(1)[1] = d;
        apply_orientation(*bitmap, orientation);
        const Pixel got[4] = {bitmap->row(0)[0], bitmap->row(0)[1], bitmap->row(1)[0],
                              bitmap->row(1)[1]};
        EXPECT_TRUE(std::equal(got, got + 4, expected[orientation]))
            << "orientation " << orientation;
    }
    // A 64 x 64 bitmap turned four times clockwise is itself again.
    auto square = Bitmap::create(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            square->row(y)[x] = Pixel(y * 64 + x);
    for (int turn = 0; turn < 4; ++turn)
        apply_orientation(*square, 6);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(square->row(y)[x], Pixel(y * 64 + x));
}

}  // namespace
}  // namespace vistrel
