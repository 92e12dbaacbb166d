#include "render/dib_bitmap.h"

#include <cstdlib>
#include <new>
#include <utility>

namespace vistrel {
namespace {

DibBitmap::ScreenSource& screen_source() {
    static DibBitmap::ScreenSource source;
    return source;
}

}  // namespace

DibBitmap::DibBitmap(Pixel* pixels, int width, int height)
    : Bitmap(pixels, width, height, pitch_for(width), true) {}

std::unique_ptr<DibBitmap> DibBitmap::create(int width, int height) {
    Pixel* pixels = allocate_pixels(width, height);
    if (!pixels) return nullptr;
    std::unique_ptr<DibBitmap> bitmap(new (std::nothrow) DibBitmap(pixels, width, height));
    if (!bitmap) std::free(pixels);
    return bitmap;
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
