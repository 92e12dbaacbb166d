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

// How one axis is drawn: `length` destination pixels from `start`; first `first_length`
// from the first cap at source position `first_source`, then `middle_length` from the
// middle starting `middle_offset` into its period, then `last_length` from the last cap at
// `last_source`.
struct AxisPlan {
    int64_t start = 0, length = 0;
    int64_t first_source = 0, first_length = 0;
    int64_t middle_offset = 0, middle_length = 0;
    int64_t last_source = 0, last_length = 0;
};

// Points must be ordered and every source position they name must lie in [0, extent).
bool points_valid(const AxisPoints& p, int shift, int extent) {
    if (p.s0 < 0 || p.s0 > p.s1 || p.s1 > p.s2 || p.s2 > p.s3) return false;
    return p.s3 == p.s0 || ((p.s3 - 1) >> shift) < extent;
}

// Splits the axis [pos, pos + len) into the first cap, the middle and the last cap.
AxisPlan split_axis(int64_t pos, int64_t len, const AxisPoints& p) {
    AxisPlan a;
    const int64_t first = p.s1 - p.s0;
    const int64_t last = p.s3 - p.s2;
    a.start = pos;
    a.length = len;
    a.first_source = p.s0;
    if (first + last < len) {
        a.first_length = first;
        a.last_source = p.s2;
        a.last_length = last;
    } else {
        // Too short for both caps: each gets about half, the last keeping its outer end.
        a.first_length = len / 2;
        a.last_length = (len - 1) / 2;
        if (first < a.first_length) {
            a.last_length += a.first_length - first;
            a.first_length = first;
        }
        if (last < a.last_length) {
            a.first_length += a.last_length - last;
            a.last_length = last;
        }
        a.last_source = p.s3 - a.last_length;
    }
    a.middle_length = len - a.first_length - a.last_length;
    return a;
}

// Drops what lies before `lo`: from the first cap, then the middle (moving into its
// period), then the last cap.
void cut_start(AxisPlan& a, int64_t lo, int64_t period) {
    if (a.start >= lo) return;
    int64_t d = lo - a.start;
    a.start = lo;
    if (d < a.first_length) {
        a.length -= d;
        a.first_length -= d;
        a.first_source += d;
        return;
    }
    d -= a.first_length;
    a.length -= a.first_length;
    a.first_length = 0;
    if (d < a.middle_length) {
        a.middle_length -= d;
        // Without a period the middle reads on without wrapping.
        a.middle_offset = period > 0 ? d % period : d;
        a.length -= d;
        return;
    }
    d -= a.middle_length;
    a.length -= a.middle_length;
    a.middle_length = 0;
    if (d >= a.last_length) {
        a.last_length = 0;
        a.length = 0;
    } else {
        a.last_source += d;
        a.length -= d;
        a.last_length -= d;
    }
}

// Drops what lies from `hi` on: from the last cap, then the middle, then the first cap.
void cut_end(AxisPlan& a, int64_t hi) {
    if (a.start + a.length <= hi) return;
    int64_t excess = a.start + a.length - hi;
    a.length -= excess;
    for (int64_t* part : {&a.last_length, &a.middle_length, &a.first_length}) {
        const int64_t cut = std::min(excess, *part);
        *part -= cut;
        excess -= cut;
    }
}

// Splits the axis [pos, pos + len) into caps and middle, then cuts it to [lo, hi).
AxisPlan plan_axis(int64_t pos, int64_t len, const AxisPoints& p, int64_t lo, int64_t hi) {
    AxisPlan a = split_axis(pos, len, p);
    cut_start(a, lo, p.s2 - p.s1);
    cut_end(a, hi);
    return a;
}

// Whether the middle's source positions stay inside the source. With a period they wrap
// inside [s1, s2); without one they run on from s1 + middle_offset.
bool middle_drawable(const AxisPlan& a, const AxisPoints& p, int shift, int extent) {
    if (a.middle_length <= 0) return false;
    if (p.s2 > p.s1) return true;
    return ((p.s1 + a.middle_offset + a.middle_length - 1) >> shift) < extent;
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
        Pixel* d = dst->row(int(dst_y)) + ax.start;
        const Pixel* row = src.row(int(src_y >> sh));
        if (ax.first_length > 0)
            op.copy_span_shifted(d, row, int(ax.first_source), int(ax.first_length), sh);
        d += ax.first_length;
        if (middle_x)
            op.copy_span_wrapped(d, row, int(px.s1 + ax.middle_offset), int(ax.middle_length), sh,
                                 px.s1, px.s2);
        d += ax.middle_length;
        if (ax.last_length > 0)
            op.copy_span_shifted(d, row, int(ax.last_source), int(ax.last_length), sh);
    };

    int64_t y = ay.start;
    for (int64_t i = 0; i < ay.first_length; ++i)
        draw_row(y++, ay.first_source + i);
    if (middle_y) {
        int64_t j = py.s1 + ay.middle_offset;
        for (int64_t i = 0; i < ay.middle_length; ++i) {
            draw_row(y++, j);
            j = j + 1 == py.s2 ? py.s1 : j + 1;
        }
    } else {
        y += ay.middle_length;
    }
    for (int64_t i = 0; i < ay.last_length; ++i)
        draw_row(y++, ay.last_source + i);
}

}  // namespace vistrel
