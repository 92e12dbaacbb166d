// Tiled drawing of a picture: caps drawn once, the middle repeated, all cut to the clip.

#include <algorithm>
#include <cstdint>

#include "render/blit.h"

namespace vistrel {
namespace {

// The split points of one axis, in source pixels times 2^shift.
struct AxisPoints {
    int s0, s1, s2, s3;
};

// How one axis is drawn: `n` destination pixels from `o`; first `fl` from the first cap at
// `fs`, then `ml` from the middle starting `mo` into its period, then `ll` from the last
// cap at `ls`.
struct AxisPlan {
    int64_t o = 0, n = 0, fs = 0, fl = 0, mo = 0, ml = 0, ls = 0, ll = 0;
};

// Points must be ordered and every source position they name must lie in [0, extent).
bool points_valid(const AxisPoints& p, int shift, int extent) {
    if (p.s0 < 0 || p.s0 > p.s1 || p.s1 > p.s2 || p.s2 > p.s3) return false;
    return p.s3 == p.s0 || ((p.s3 - 1) >> shift) < extent;
}

// Splits the axis [pos, pos + len) into caps and middle, then cuts it to [lo, hi).
AxisPlan plan_axis(int64_t pos, int64_t len, const AxisPoints& p, int64_t lo, int64_t hi) {
    AxisPlan a;
    const int64_t first = p.s1 - p.s0;
    const int64_t last = p.s3 - p.s2;
    const int64_t period = p.s2 - p.s1;
    a.o = pos;
    a.n = len;
    a.fs = p.s0;
    if (first + last < len) {
        a.fl = first;
        a.ls = p.s2;
        a.ll = last;
    } else {
        // Too short for both caps: each gets about half, the last keeping its outer end.
        a.fl = len / 2;
        a.ll = (len - 1) / 2;
        if (first < a.fl) {
            a.ll += a.fl - first;
            a.fl = first;
        }
        if (last < a.ll) {
            a.fl += a.ll - last;
            a.ll = last;
        }
        a.ls = p.s3 - a.ll;
    }
    a.ml = len - a.fl - a.ll;

    if (pos < lo) {
        int64_t d = lo - pos;
        a.o = lo;
        if (d < a.fl) {
            a.n -= d;
            a.fl -= d;
            a.fs += d;
        } else {
            d -= a.fl;
            a.n -= a.fl;
            a.fl = 0;
            if (d < a.ml) {
                a.ml -= d;
                // Without a period the middle reads on without wrapping.
                a.mo = period > 0 ? d % period : d;
                a.n -= d;
            } else {
                d -= a.ml;
                a.n -= a.ml;
                a.ml = 0;
                if (d >= a.ll) {
                    a.ll = 0;
                    a.n = 0;
                } else {
                    a.ls += d;
                    a.n -= d;
                    a.ll -= d;
                }
            }
        }
    }
    if (a.o + a.n > hi) {
        int64_t e = a.o + a.n - hi;
        a.n -= e;
        for (int64_t* part : {&a.ll, &a.ml, &a.fl}) {
            const int64_t cut = std::min(e, *part);
            *part -= cut;
            e -= cut;
        }
    }
    return a;
}

// Whether the middle's source positions stay inside the source. With a period they wrap
// inside [s1, s2); without one they run on from s1 + mo.
bool middle_drawable(const AxisPlan& a, const AxisPoints& p, int shift, int extent) {
    if (a.ml <= 0) return false;
    if (p.s2 > p.s1) return true;
    return ((p.s1 + a.mo + a.ml - 1) >> shift) < extent;
}

}  // namespace

void draw_tiled(Surface& surface, Point pos, Size size, const Bitmap& src, Point s0, Point s1,
                Point s2, Point s3, int shift, const PixelOp& op) {
    Bitmap* dst = surface.bitmap();
    if (!dst) return;
    const int sh = effective_shift(shift);
    const AxisPoints px{s0.x, s1.x, s2.x, s3.x};
    const AxisPoints py{s0.y, s1.y, s2.y, s3.y};
    if (!points_valid(px, sh, src.width()) || !points_valid(py, sh, src.height())) return;

    // The clip range: the surface's clip (held inside its bitmap) cut to the rectangle.
    const Rect clip = surface.clip();
    const int64_t left = std::max<int64_t>({clip.left, 0, pos.x});
    const int64_t top = std::max<int64_t>({clip.top, 0, pos.y});
    const int64_t right = std::min<int64_t>({clip.right, dst->width(), int64_t(pos.x) + size.w});
    const int64_t bottom = std::min<int64_t>({clip.bottom, dst->height(), int64_t(pos.y) + size.h});
    if (left >= right || top >= bottom) return;

    const AxisPlan ax = plan_axis(pos.x, size.w, px, left, right);
    const AxisPlan ay = plan_axis(pos.y, size.h, py, top, bottom);
    const bool middle_x = middle_drawable(ax, px, sh, src.width());
    const bool middle_y = middle_drawable(ay, py, sh, src.height());

    auto draw_row = [&](int64_t dst_y, int64_t src_y) {
        Pixel* d = dst->row(int(dst_y)) + ax.o;
        const Pixel* row = src.row(int(src_y >> sh));
        if (ax.fl > 0) op.copy_span_shifted(d, row, int(ax.fs), int(ax.fl), sh);
        d += ax.fl;
        if (middle_x)
            op.copy_span_wrapped(d, row, int(px.s1 + ax.mo), int(ax.ml), sh, px.s1, px.s2);
        d += ax.ml;
        if (ax.ll > 0) op.copy_span_shifted(d, row, int(ax.ls), int(ax.ll), sh);
    };

    int64_t y = ay.o;
    for (int64_t i = 0; i < ay.fl; ++i)
        draw_row(y++, ay.fs + i);
    if (middle_y) {
        int64_t j = py.s1 + ay.mo;
        for (int64_t i = 0; i < ay.ml; ++i) {
            draw_row(y++, j);
            j = j + 1 == py.s2 ? py.s1 : j + 1;
        }
    } else {
        y += ay.ml;
    }
    for (int64_t i = 0; i < ay.ll; ++i)
        draw_row(y++, ay.ls + i);
}

}  // namespace vistrel
