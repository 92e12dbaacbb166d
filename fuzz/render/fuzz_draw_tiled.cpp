// Tiled drawing with points, shift, rectangle and clip as a damaged skin could give them:
// nothing may be read outside the source or written outside the clip.

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "render/blit.h"

namespace {

// Reads little-endian 32-bit values from the input, zero once it runs out.
class Fields {
public:
    Fields(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    int next() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i, ++m_at)
            if (m_at < m_size) v |= uint32_t(m_data[m_at]) << (8 * i);
        return int32_t(v);
    }
    // Small values are the interesting ones; keep most of them near the picture's size.
    int small() { return next() % 70; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vistrel;
    Fields f(data, size);
    const int src_w = 1 + (f.next() & 31), src_h = 1 + (f.next() & 31);
    auto src = Bitmap::create(src_w, src_h);
    for (int y = 0; y < src_h; ++y)
        for (int x = 0; x < src_w; ++x) src->row(y)[x] = Pixel(y << 8 | x);

    // The destination sits inside a frame of guard pixels that must stay untouched.
    constexpr int kW = 48, kH = 40, kGuard = 4;
    constexpr Pixel kMark = 0xF81F;
    auto whole = Bitmap::create(kW + 2 * kGuard, kH + 2 * kGuard);
    whole->clear(kMark);
    Bitmap dst(whole->row(kGuard) + kGuard, kW, kH, whole->pitch());
    Surface surface(&dst);
    const int cl = f.small(), ct = f.small();
    surface.set_clip({cl, ct}, {cl + f.small(), ct + f.small()});
    const Rect clip = surface.clip();

    const bool wide = f.next() & 1;
    auto coord = [&] { return wide ? f.next() : f.small(); };
    const Point s0{coord(), coord()}, s1{coord(), coord()}, s2{coord(), coord()},
        s3{coord(), coord()};
    const Point pos{f.small() - 20, f.small() - 20};
    const Size sz{wide ? f.next() : f.small(), wide ? f.next() : f.small()};
    const int shift = f.next();
    draw_tiled(surface, pos, sz, *src, s0, s1, s2, s3, shift, CopyOp());

    for (int y = 0; y < whole->height(); ++y) {
        for (int x = 0; x < whole->width(); ++x) {
            const int dx = x - kGuard, dy = y - kGuard;
            const bool inside =
                dx >= clip.left && dx < clip.right && dy >= clip.top && dy < clip.bottom;
            const Pixel p = whole->row(y)[x];
            if (!inside && p != kMark) std::abort();
            // Everything drawn comes from the source.
            if (inside && p != kMark && ((p & 0xFF) >= src_w || (p >> 8) >= src_h)) std::abort();
        }
    }
    return 0;
}
