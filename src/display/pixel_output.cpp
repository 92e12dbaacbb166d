#include "display/pixel_output.h"

#include <algorithm>
#include <cstring>

namespace vistrel {

namespace {

// The 5- and 6-bit channels widened to 8 bits, low bits filled from the high ones so that
// white stays white.
inline uint32_t to_xrgb(Pixel p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

inline uint32_t to_xbgr(Pixel p) {
    const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
    return ((b << 3 | b >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (r << 3 | r >> 2);
}

template <typename Convert>
inline void convert_row(const Pixel* in, uint8_t* out, int count, Convert convert) {
    for (int x = 0; x < count; ++x) {
        const uint32_t v = convert(in[x]);
        std::memcpy(out + size_t(x) * 4, &v, 4);
    }
}

}  // namespace

void write_pixels(const Bitmap& from, Rect rect, const PixelTarget& to) {
    if (!to.first) return;
    rect.left = std::max(rect.left, 0);
    rect.top = std::max(rect.top, 0);
    rect.right = std::min({rect.right, from.width(), to.width});
    rect.bottom = std::min({rect.bottom, from.height(), to.height});
    if (rect.empty()) return;
    const int count = rect.right - rect.left;
    for (int y = rect.top; y < rect.bottom; ++y) {
        const Pixel* in = from.row(y) + rect.left;
        uint8_t* row = to.first + ptrdiff_t(y) * to.pitch;
        switch (to.layout) {
            case PixelLayout::Rgb565:
                std::memcpy(row + size_t(rect.left) * 2, in, size_t(count) * 2);
                break;
            case PixelLayout::Xrgb8888:
                convert_row(in, row + size_t(rect.left) * 4, count, to_xrgb);
                break;
            case PixelLayout::Xbgr8888:
                convert_row(in, row + size_t(rect.left) * 4, count, to_xbgr);
                break;
        }
    }
}

}  // namespace vistrel
