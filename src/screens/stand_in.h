#pragma once
// The viewer's tile stand-ins ("loading", "bad") fitted to the tiles they stand in for:
// the skin ships them at one size (256 x 256), while a picture still being prepared or
// one that cannot be decoded is laid out in smaller cells.

#include <memory>

#include "render/bitmap.h"

namespace vistrel {

// A bitmap of `cell` showing `art` whole: art larger than the cell is reduced (each pixel
// the average of the art pixels it covers) keeping its proportions, smaller art keeps its
// size; either is centred, on the colour of the art's top-left pixel (its background).
// Null when either size is empty or the bitmap cannot be made.
std::unique_ptr<Bitmap> fit_stand_in(const Bitmap& art, Size cell);

}  // namespace vistrel
