#include "render/bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>

namespace vistrel {
namespace {

// Rows are 4-byte aligned by the pitch rule; the block itself is cache-line aligned so
// that wide loads never straddle a line at a row start.
constexpr size_t kAlignment = 64;

}  // namespace

void Bitmap::FreePixels::operator()(Pixel* pixels) const {
    std::free(pixels);
}

Bitmap::PixelMemory Bitmap::allocate_pixels(int width, int height) {
    if (width < 0 || height < 0) return nullptr;
    const int64_t pitch = (int64_t(2) * width + 3) & ~int64_t(3);
    const int64_t bytes = pitch * height;
    if (bytes > kMaxBytes) return nullptr;
    // aligned_alloc wants a multiple of the alignment, and a zero size may give null.
    const size_t rounded = (static_cast<size_t>(bytes) + kAlignment - 1) / kAlignment * kAlignment;
    return PixelMemory(
        static_cast<Pixel*>(std::aligned_alloc(kAlignment, rounded ? rounded : kAlignment)));
}

std::unique_ptr<Bitmap> Bitmap::create(int width, int height) {
    PixelMemory pixels = allocate_pixels(width, height);
    if (!pixels) return nullptr;
    // Should the object not be had, `pixels` still owns the memory and frees it.
    return std::unique_ptr<Bitmap>(new (std::nothrow) Bitmap(std::move(pixels), width, height));
}

Bitmap::Bitmap(Pixel* pixels, int width, int height, int pitch) : m_pixels(pixels), m_pitch(pitch) {
    // A view whose rows would overlap or that has no memory is kept empty.
    if (pixels && width >= 0 && height >= 0 && int64_t(pitch) >= int64_t(2) * width) {
        m_width = width;
        m_height = height;
    }
}

Bitmap::Bitmap(PixelMemory&& pixels, int width, int height)
    : Bitmap(pixels.get(), width, height, pitch_for(width)) {
    m_owned = std::move(pixels);
}

Bitmap::~Bitmap() = default;

void Bitmap::clear(Pixel value) {
    for (int y = 0; y < m_height; ++y) {
        Pixel* p = row(y);
        std::fill(p, p + m_pitch / 2, value);
    }
}

}  // namespace vistrel
