#include "render/blit.h"

#include <algorithm>
#include <cstdint>

namespace vistrel {
namespace {

// Sources of stretched blits must stay within this many pixels so that positions with
// 10 fraction bits fit in an int.
constexpr int64_t kMaxStretchSource = int64_t(1) << 20;

// A destination rectangle after clipping, and how far its start moved in.
struct Clipped {
    int x, y, w, h;
    int64_t moved_x, moved_y;
};

// The clip held inside the destination bitmap.
Rect clamp_clip(const Rect& clip, const Bitmap& dst) {
    return {std::max(clip.left, 0), std::max(clip.top, 0), std::min(clip.right, dst.width()),
            std::min(clip.bottom, dst.height())};
}

// Cuts [pos, pos + size) at the clip's top-left, then shortens it to its bottom-right.
// False when nothing is left.
bool clip_rectangle(const Rect& clip, Point pos, Size size, Clipped& out) {
    int64_t x = pos.x, y = pos.y, w = size.w, h = size.h, moved_x = 0, moved_y = 0;
    if (x < clip.left) {
        moved_x = clip.left - x;
        w -= moved_x;
        x = clip.left;
    }
    if (y < clip.top) {
        moved_y = clip.top - y;
        h -= moved_y;
        y = clip.top;
    }
    w = std::min<int64_t>(w, clip.right - x);
    h = std::min<int64_t>(h, clip.bottom - y);
    if (w <= 0 || h <= 0) return false;
    out = {int(x), int(y), int(w), int(h), moved_x, moved_y};
    return true;
}

// Whether rows [y, y + h) of `b` lie one after the other without padding, so that a span
// over all of them can stand for one span per row.
bool rows_contiguous(const Bitmap& b, int x, int w) {
    return x == 0 && w == b.width() && b.pitch() == 2 * b.width();
}

bool source_inside(const Bitmap& src, Point pos, Size size) {
    return pos.x >= 0 && pos.y >= 0 && int64_t(pos.x) + size.w <= src.width() &&
           int64_t(pos.y) + size.h <= src.height();
}

}  // namespace

void blit(Bitmap& dst, Point dst_pos, Size size, const Bitmap& src, Point src_pos, const Rect& clip,
          const PixelOp& op) {
    if (size.w < 1 || size.h < 1 || !source_inside(src, src_pos, size)) return;
    Clipped c;
    if (!clip_rectangle(clamp_clip(clip, dst), dst_pos, size, c)) return;
    const int src_x = src_pos.x + int(c.moved_x);
    const int src_y = src_pos.y + int(c.moved_y);
    if (rows_contiguous(dst, c.x, c.w) && rows_contiguous(src, src_x, c.w)) {
        // Whole rows on both sides: one span, walked in the same order.
        Pixel* d = dst.row(c.y);
        op.copy_span(d, d + int64_t(c.w) * c.h, src.row(src_y));
        return;
    }
    for (int i = 0; i < c.h; ++i) {
        Pixel* d = dst.row(c.y + i) + c.x;
        op.copy_span(d, d + c.w, src.row(src_y + i) + src_x);
    }
}

void blit(Surface& dst, Point dst_pos, Size size, const Bitmap& src, Point src_pos,
          const PixelOp& op) {
    if (dst.bitmap()) blit(*dst.bitmap(), dst_pos, size, src, src_pos, dst.clip(), op);
}

void stretch_blit(Bitmap& dst, Point dst_pos, Size dst_size, const Bitmap& src, Point src_pos,
                  Size src_size, const Rect& clip, const PixelOp& op) {
    if (dst_size.w < 1 || dst_size.h < 1 || src_size.w < 1 || src_size.h < 1) return;
    if (!source_inside(src, src_pos, src_size)) return;
    if (int64_t(src_pos.x) + src_size.w > kMaxStretchSource ||
        int64_t(src_pos.y) + src_size.h > kMaxStretchSource)
        return;
    Clipped c;
    if (!clip_rectangle(clamp_clip(clip, dst), dst_pos, dst_size, c)) return;
    const int64_t step_x = (int64_t(src_size.w) << 10) / dst_size.w;
    const int64_t step_y = (int64_t(src_size.h) << 10) / dst_size.h;
    // Cut positions stay below the source rectangle's end: moved < dst_size.
    const int fx = int((int64_t(src_pos.x) << 10) + c.moved_x * step_x);
    int64_t fy = (int64_t(src_pos.y) << 10) + c.moved_y * step_y;
    for (int i = 0; i < c.h; ++i, fy += step_y) {
        Pixel* d = dst.row(c.y + i) + c.x;
        op.copy_span_scaled(d, d + c.w, src.row(int(fy >> 10)), fx, int(step_x));
    }
}

void stretch_blit(Surface& dst, Point dst_pos, Size dst_size, const Bitmap& src, Point src_pos,
                  Size src_size, const PixelOp& op) {
    if (dst.bitmap())
        stretch_blit(*dst.bitmap(), dst_pos, dst_size, src, src_pos, src_size, dst.clip(), op);
}

void apply_spans(Bitmap& dst, Point pos, Size size, const Rect& clip, const SpanOp& span_op) {
    if (size.w < 1 || size.h < 1) return;
    Clipped c;
    if (!clip_rectangle(clamp_clip(clip, dst), pos, size, c)) return;
    if (rows_contiguous(dst, c.x, c.w)) {
        Pixel* d = dst.row(c.y);
        span_op.apply(d, d + int64_t(c.w) * c.h);
        return;
    }
    for (int i = 0; i < c.h; ++i) {
        Pixel* d = dst.row(c.y + i) + c.x;
        span_op.apply(d, d + c.w);
    }
}

}  // namespace vistrel
