#pragma once
// The pixel format of all drawing: RGB565 in one unsigned 16-bit value, red in bits 15..11,
// green in bits 10..5, blue in bits 4..0. Bit 5 (the lowest bit of green) of a source pixel
// is the opaque flag of the blended operations; 0xF81F is the colour key (transparent).

#include <cstdint>

namespace vistrel {

using Pixel = uint16_t;

inline constexpr Pixel kColourKey = 0xF81F;
inline constexpr Pixel kOpaqueFlag = 0x0020;

// A colour as four bytes; the alpha byte takes no part in the conversion to a pixel.
struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    friend bool operator==(const Colour&, const Colour&) = default;
};

constexpr Pixel to_pixel(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<Pixel>((red >> 3) << 11 | (green >> 2) << 5 | (blue >> 3));
}
constexpr Pixel to_pixel(Colour colour) {
    return to_pixel(colour.red, colour.green, colour.blue);
}

// Each channel halved or quartered, without carries from one channel into the next.
constexpr Pixel half(Pixel p) {
    return static_cast<Pixel>((p >> 1) & 0x7BEF);
}
constexpr Pixel quarter(Pixel p) {
    return static_cast<Pixel>((p >> 2) & 0x39E7);
}

// The channels widened to 8 bits by repeating their top bits (31 -> 255, 63 -> 255).
constexpr uint8_t red8(Pixel p) {
    const unsigned r = p >> 11;
    return static_cast<uint8_t>(r << 3 | r >> 2);
}
constexpr uint8_t green8(Pixel p) {
    const unsigned g = (p >> 5) & 0x3F;
    return static_cast<uint8_t>(g << 2 | g >> 4);
}
constexpr uint8_t blue8(Pixel p) {
    const unsigned b = p & 0x1F;
    return static_cast<uint8_t>(b << 3 | b >> 2);
}

}  // namespace vistrel
