#pragma once
// PNG output of any bitmap, each channel widened to 8 bits by bit replication.

#include <string>

#include "render/bitmap.h"

namespace vistrel {

// The longest side a PNG file may have for the readers we write for (libpng refuses
// larger ones by default).
inline constexpr int kMaxPngSide = 1000000;

// Writes an 8-bit RGB PNG file (path macros expanded); false, with no file left behind,
// when it cannot (also for a side longer than kMaxPngSide).
bool write_png(const Bitmap& bitmap, const std::u16string& path);

}  // namespace vistrel
