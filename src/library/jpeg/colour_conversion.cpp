#include "library/jpeg/colour_conversion.h"

#include <algorithm>

#include "render/vector_clones.h"

namespace vistrel {

namespace {

// The conversion's factors in 16-bit fixed point: round(factor * 65536).
constexpr int32_t kRedFromCr = 91881;    // 1.40200
constexpr int32_t kGreenFromCb = 22554;  // 0.34414
constexpr int32_t kGreenFromCr = 46802;  // 0.71414
constexpr int32_t kBlueFromCb = 116130;  // 1.77200
constexpr int32_t kHalf = 1 << 15;

inline uint16_t pack(int32_t red, int32_t green, int32_t blue) {
    red = std::clamp(red, 0, 255);
    green = std::clamp(green, 0, 255);
    blue = std::clamp(blue, 0, 255);
    return static_cast<uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}

// One pixel's red, green and blue, unclamped.
struct Rgb32 {
    int32_t red, green, blue;
};

inline Rgb32 ycc(int32_t luma, int32_t cb, int32_t cr) {
    const int32_t b = cb - 128;
    const int32_t r = cr - 128;
    return {luma + ((kRedFromCr * r + kHalf) >> 16),
            luma + ((-kGreenFromCb * b - kGreenFromCr * r + kHalf) >> 16),
            luma + ((kBlueFromCb * b + kHalf) >> 16)};
}

}  // namespace

VISTREL_VECTOR_CLONES void ycc_to_pixels(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                                         Pixel* out, int count) {
    for (int i = 0; i < count; ++i) {
        const Rgb32 c = ycc(y[i], cb[i], cr[i]);
        out[i] = pack(c.red, c.green, c.blue);
    }
}

VISTREL_VECTOR_CLONES void ycc_to_rgb(const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                                      uint8_t* rgb, int count) {
    for (int i = 0; i < count; ++i) {
        const Rgb32 c = ycc(y[i], cb[i], cr[i]);
        rgb[3 * i] = uint8_t(std::clamp(c.red, 0, 255));
        rgb[3 * i + 1] = uint8_t(std::clamp(c.green, 0, 255));
        rgb[3 * i + 2] = uint8_t(std::clamp(c.blue, 0, 255));
    }
}

VISTREL_VECTOR_CLONES void rgb_to_pixels(const uint8_t* rgb, Pixel* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = to_pixel(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
}

VISTREL_VECTOR_CLONES void grey_to_pixels(const uint8_t* grey, Pixel* out, int count) {
    for (int i = 0; i < count; ++i)
        out[i] = to_pixel(grey[i], grey[i], grey[i]);
}

}  // namespace vistrel
