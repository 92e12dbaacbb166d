#pragma once
// The EXIF orientation of a picture, and turning pixels to match it.

#include "platform/file_stream.h"

namespace vistrel {

class Bitmap;

// The EXIF orientation 1..8 (1: as stored) of the JPEG at the start of the stream, from
// the first EXIF segment among the application and comment segments after the start of
// image (pictures often carry a JFIF or XMP segment first). Only the first directory is
// read. Never fails: anything it does not understand reads as 1; a stored 0 reads as 0,
// which marks a picture that is not to be used.
int read_orientation(InputStream& stream);

// Re-arranges the pixels of a bitmap for an orientation (2..8; others leave it as it is).
// Source row i, column j of a W x H bitmap goes to:
//   2: (i, W-1-j)  3: (H-1-i, W-1-j)  4: (H-1-i, j)  5: (j, i)
//   6: (j, W-1-i)  7: (H-1-j, W-1-i)  8: (H-1-j, i)
// The result keeps the bitmap's width and height, so the turning ones (5..8) suit square
// bitmaps; for others only the part that fits is kept.
void apply_orientation(Bitmap& bitmap, int orientation);

}  // namespace vistrel
