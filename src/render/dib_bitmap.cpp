#include "render/dib_bitmap.h"

#include <new>
#include <utility>

namespace vistrel {
namespace {

DibBitmap::ScreenSource& screen_source() {
    static DibBitmap::ScreenSource source;
    return source;
}

}  // namespace

DibBitmap::DibBitmap(PixelMemory&& pixels, int width, int height)
    : Bitmap(std::move(pixels), width, height) {}

std::unique_ptr<DibBitmap> DibBitmap::create(int width, int height) {
    PixelMemory pixels = allocate_pixels(width, height);
    if (!pixels) return nullptr;
    return std::unique_ptr<DibBitmap>(new (std::nothrow)
                                          DibBitmap(std::move(pixels), width, height));
}

bool DibBitmap::copy_from_screen() {
    // Black first, so that a source that fills only part leaves no stale pixels.
    clear(0);
    const ScreenSource& source = screen_source();
    return source && source(*this);
}

void DibBitmap::set_screen_source(ScreenSource source) {
    screen_source() = std::move(source);
}

}  // namespace vistrel
