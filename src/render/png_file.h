#pragma once
// PNG output of any bitmap, each channel widened to 8 bits by bit replication.

#include <string>

#include "render/bitmap.h"

namespace vistrel {

// Writes an 8-bit RGB PNG file (path macros expanded); false, with no file left behind,
// when it cannot.
bool write_png(const Bitmap& bitmap, const std::u16string& path);

}  // namespace vistrel
