#pragma once
// Input that follows a turned picture: arrow keys and pointer positions given in one
// orientation, carried over to a picture shown `r` quarter turns from it.

#include <cstdint>

#include "render/geometry.h"

namespace vistrel {

// Arrow keys 37..40 (left, up, right, down) move on by r steps; other keys stay.
uint32_t remap_arrow_key(uint32_t virtual_key, int r);

// The point (x, y) in the picture of `width` x `height` (the turned picture's size):
// r = 1 gives (W - y - 1, x), 2 gives (W - x - 1, H - y - 1), 3 gives (y, H - x - 1).
Point remap_point(Point point, int r, int width, int height);

}  // namespace vistrel
