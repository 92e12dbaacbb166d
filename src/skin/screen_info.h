#pragma once
// What the skin needs to know of the screen it is loaded for.

namespace vistrel {

struct ScreenInfo {
    int width = 240;
    int height = 320;
    int dpi = 96;  // vertical dots per inch: above 191 the skin is drawn at twice its size
    int orientation = 0;

    // 1 when the skin's coordinates are doubled, else 0.
    int scale_shift() const { return dpi > 191 ? 1 : 0; }
};

}  // namespace vistrel
