#pragma once
// Pictures are stored in one orientation and shown in another (the EXIF orientation 1..8):
// the sizes and rectangles of the one in terms of the other, and turning a stored piece.
// Stored pixel (row i, column j) of a W x H picture is shown at
//   1: (i, j)          2: (i, W-1-j)      3: (H-1-i, W-1-j)  4: (H-1-i, j)
//   5: (j, i)          6: (j, H-1-i)      7: (W-1-j, H-1-i)  8: (W-1-j, i)
// Orientations outside 1..8 count as 1.

#include "render/bitmap.h"
#include "render/geometry.h"

namespace vistrel {

// The shown size of a picture stored at `stored`: exchanged for orientations 5 to 8.
Size shown_size(Size stored, int orientation);

// The stored rectangle whose pixels make up the rectangle `shown` of the shown picture.
Rect stored_region(const Rect& shown, Size stored, int orientation);

// Writes `stored`, the pixels of a stored rectangle, into the top-left of `out` as they
// are shown. `out` must be large enough for the shown size of `stored`.
void copy_shown(const Bitmap& stored, int orientation, Bitmap& out);

}  // namespace vistrel
