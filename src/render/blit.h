#pragma once
// The rectangle routines: they clip, walk the rectangle row by row and hand each row piece
// to an operation. None reports errors; what is empty after clipping is not drawn. The
// clip is the destination surface's clip rectangle, always also held inside the bitmap.
// Operations act on each pixel on its own, so whole rows that follow each other without
// padding may be handed over as one span.

#include "render/bitmap.h"
#include "render/geometry.h"
#include "render/pixel_op.h"
#include "render/span_op.h"
#include "render/surface.h"

namespace vistrel {

// Copies `size` pixels from `src` at `src_pos` to `dst` at `dst_pos` with op.copy_span.
// The source rectangle is never clipped: one not wholly inside `src` draws nothing.
void blit(Bitmap& dst, Point dst_pos, Size size, const Bitmap& src, Point src_pos, const Rect& clip,
          const PixelOp& op);
void blit(Surface& dst, Point dst_pos, Size size, const Bitmap& src, Point src_pos,
          const PixelOp& op);

// Scales the source rectangle to the destination rectangle by nearest-pixel sampling with
// 10-bit fixed-point steps. A source rectangle that is empty or not wholly inside `src`
// draws nothing.
void stretch_blit(Bitmap& dst, Point dst_pos, Size dst_size, const Bitmap& src, Point src_pos,
                  Size src_size, const Rect& clip, const PixelOp& op);
void stretch_blit(Surface& dst, Point dst_pos, Size dst_size, const Bitmap& src, Point src_pos,
                  Size src_size, const PixelOp& op);

// span_op.apply on each row piece of [pos, pos + size) inside the clip.
void apply_spans(Bitmap& dst, Point pos, Size size, const Rect& clip, const SpanOp& span_op);

// Draws `src` into [pos, pos + size): along each axis the source splits at the points
// s0 <= s1 <= s2 <= s3 (source pixels times 2^shift) into a first cap [s0, s1), a middle
// [s1, s2) and a last cap [s2, s3). Caps are drawn once (cut to fit when the destination
// is shorter than both), the middle repeats over the rest. Points that do not lie in that
// order inside the source draw nothing. An empty middle (s1 == s2) does not repeat: its
// pixels run on from s1, and are left out where that would leave the source.
void draw_tiled(Surface& surface, Point pos, Size size, const Bitmap& src, Point s0, Point s1,
                Point s2, Point s3, int shift, const PixelOp& op);

}  // namespace vistrel
