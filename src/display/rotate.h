#pragma once
// Copying pictures between orientations. A turn is a number of clockwise quarter turns:
// a picture of W x H turned by 1 becomes H x W, its top row becoming the right column.

#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

// The size of a W x H picture after `turn` quarter turns.
Size turned_size(Size size, int turn);

// Where the rectangle `rect` of a picture of `size` lies after `turn` quarter turns.
Rect turn_rect(Rect rect, Size size, int turn);

// Where the point (x, y) of a picture of `size` lies after `turn` quarter turns.
Point turn_point(Point point, Size size, int turn);

// Copies the part `rect` of `src` into `dst` turned by `turn` (0..3, taken modulo 4).
// `dst` must be at least turned_size(src.size(), turn); `rect` is clipped to `src`. Works
// in squares of whole 16 x 16 blocks so that both pictures stay in the cache; 8 x 8 pieces go
// through a vector transpose where the processor has one.
void rotate_copy(const Bitmap& src, Rect rect, Bitmap& dst, int turn);

// The same, pixel by pixel: the reference the fast path is tested against.
void rotate_copy_reference(const Bitmap& src, Rect rect, Bitmap& dst, int turn);

}  // namespace vistrel
