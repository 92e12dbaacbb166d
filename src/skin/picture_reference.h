#pragma once
// A picture reference: a rectangle of a skin picture cut along each axis into a leading
// cap, a repeated middle and a trailing cap, so that one small bitmap fills frames, bars
// and backgrounds of any size. Copies share the picture.

#include "render/geometry.h"
#include "render/picture.h"
#include "render/pixel_op.h"
#include "render/surface.h"

namespace vistrel {

struct PictureReference {
    Point p0;  // start of the leading cap
    Point p1;  // end of the leading cap, start of the middle
    Point p2;  // end of the middle, start of the trailing cap
    Point p3;  // end of the trailing cap
    PictureHandle picture;
    int shift = 0;      // source coordinates are divided by 2^shift when pixels are fetched
    bool flag = false;  // the skin's flag byte; not used for drawing

    // A whole picture as the repeated middle: (0, 0), (0, 0), (w, h), (w, h).
    static PictureReference whole(const PictureHandle& picture);

    bool empty() const { return !picture; }
    // (p3 - p0) on each axis.
    Size natural_size() const { return {p3.x - p0.x, p3.y - p0.y}; }
    // Fills [origin, origin + size) with the picture, clipped to the surface's clip.
    // An empty reference draws nothing.
    void draw(Surface& surface, Point origin, Size size, const PixelOp& op) const;
};

}  // namespace vistrel
