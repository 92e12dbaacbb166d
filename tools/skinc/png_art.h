#pragma once
// Skin art: PNG pictures turned into the program's 16-bit pixels. Transparent pixels
// become the colour key 0xF81F; opaque pixels carry the opaque flag bit; partly
// transparent pixels keep their colour weighted by their opacity and no flag, so that the
// blended drawing operations add the rest from what lies below.

#include <memory>
#include <string>

#include "render/bitmap.h"

namespace vistrel::skinc {

// The largest picture accepted, in pixels along either side.
inline constexpr int kMaxArtSide = 4096;

// One RGBA pixel (straight alpha) as a skin pixel.
Pixel art_pixel(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);

// Reads a PNG file; null with the reason in `error` when it cannot.
std::unique_ptr<Bitmap> read_png_art(const std::string& path, std::string& error);

}  // namespace vistrel::skinc
