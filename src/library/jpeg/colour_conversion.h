#pragma once
// Colour conversion of our tile decoder: JFIF YCbCr (full range) to RGB, then to the RGB565
// pixels of the screens, in the integer arithmetic of libjpeg's own converter (16-bit
// fixed-point products rounded to the nearest) so that tiles match its output.

#include <cstdint>

#include "render/pixel.h"

namespace vistrel {

// Converts `count` samples of the three components to pixels.
void ycc_to_pixels(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, Pixel* out, int count);

// Converts `count` grey samples to pixels.
void grey_to_pixels(const uint8_t* grey, Pixel* out, int count);

}  // namespace vistrel
