#pragma once
// A tiny built-in face for the performance overlay: digits, ".", " ", "[", "]", and the
// letters of "ms" and "Kp", 3 x 5 cells drawn at twice the size. Other characters are
// skipped (they advance like a space).

#include <string_view>

#include "render/pixel.h"
#include "render/surface.h"

namespace vistrel {

// Draws `text` with its top left at `position`; returns the width drawn.
int draw_overlay_text(Surface& surface, Point position, std::string_view text, Pixel colour);

}  // namespace vistrel
