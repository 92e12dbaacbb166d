#pragma once
// The bitmap the display layer hands out and fills from the screen: ordinary owning pixel
// memory, top-down, under the pitch rule. The display installs the screen source that
// `copy_from_screen` uses (to capture the last visible picture before it is re-created).

#include <functional>
#include <memory>

#include "render/bitmap.h"

namespace vistrel {

class DibBitmap final : public Bitmap {
public:
    // Copies the current screen into `target` (as much as fits); false when it cannot.
    using ScreenSource = std::function<bool(Bitmap& target)>;

    // Nothing when the pixel memory cannot be had.
    static std::unique_ptr<DibBitmap> create(int width, int height);

    // Fills the pixels from the installed screen source; without one, or when the source
    // fails, the pixels become black and the result is false.
    bool copy_from_screen();

    // Installs (or, with an empty function, removes) the process-wide screen source.
    // User-interface thread only.
    static void set_screen_source(ScreenSource source);

private:
    DibBitmap(PixelMemory&& pixels, int width, int height);
};

}  // namespace vistrel
