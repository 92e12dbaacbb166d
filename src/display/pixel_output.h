#pragma once
// Writing RGB565 frames into device memory of another pixel layout (32-bit frame buffers
// and KMS dumb buffers), and the layouts a device may have.

#include <cstddef>
#include <cstdint>

#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

enum class PixelLayout : uint8_t {
    Rgb565,    // 16 bits: red 11..15, green 5..10, blue 0..4
    Xrgb8888,  // 32 bits: blue in the lowest byte, then green, red, unused
    Xbgr8888,  // 32 bits: red in the lowest byte, then green, blue, unused
};

inline int bytes_per_pixel(PixelLayout layout) { return layout == PixelLayout::Rgb565 ? 2 : 4; }

// Device memory of `width` x `height` pixels, `pitch` bytes per row, starting at `first`.
struct PixelTarget {
    uint8_t* first = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;
    PixelLayout layout = PixelLayout::Rgb565;
};

// Copies `rect` of `from` (clipped to both) into `to` at the same place, converting pixels.
void write_pixels(const Bitmap& from, Rect rect, const PixelTarget& to);

}  // namespace vistrel
