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

// The same conversion into 3 bytes per pixel, for pixels that go on to a colour transform.
void ycc_to_rgb(const uint8_t* y, const uint8_t* cb, const uint8_t* cr, uint8_t* rgb, int count);

// Packs `count` RGB pixels (3 bytes each) into RGB565.
void rgb_to_pixels(const uint8_t* rgb, Pixel* out, int count);

}  // namespace vistrel
