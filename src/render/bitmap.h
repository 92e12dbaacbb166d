#pragma once
// A block of RGB565 pixels, top row first. Bitmaps made by `create` follow the pitch rule
// (rows start on 4-byte boundaries) and own their pixels; a bitmap may also be laid over
// pixel memory that belongs to someone else (a display's back buffer).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "render/geometry.h"
#include "render/pixel.h"

namespace vistrel {

class Bitmap {
public:
    // Bytes from one row to the next for a bitmap of `width` pixels: (2 * width + 3) & ~3.
    static constexpr int pitch_for(int width) { return (2 * width + 3) & ~3; }

    // An owning bitmap of width x height with uncleared pixels, or nothing when a size is
    // negative, the pixel memory would exceed kMaxBytes, or an allocation fails.
    static std::unique_ptr<Bitmap> create(int width, int height);
    static std::unique_ptr<Bitmap> create(Size size) { return create(size.w, size.h); }

    // A view of foreign pixels: `pitch` bytes per row (even, at least 2 * width); the memory
    // must outlive the bitmap and is not freed by it.
    Bitmap(Pixel* pixels, int width, int height, int pitch);

    virtual ~Bitmap();
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int width() const { return m_width; }
    int height() const { return m_height; }
    Size size() const { return {m_width, m_height}; }
    int pitch() const { return m_pitch; }
    bool owns_pixels() const { return m_owned != nullptr; }

    Pixel* pixels() { return m_pixels; }
    const Pixel* pixels() const { return m_pixels; }
    // The first pixel of row `y` (not checked).
    Pixel* row(int y) {
        return reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(m_pixels) +
                                        static_cast<ptrdiff_t>(y) * m_pitch);
    }
    const Pixel* row(int y) const { return const_cast<Bitmap*>(this)->row(y); }

    // Sets every pixel, padding included, to `value`.
    void clear(Pixel value = 0);

    // The largest pixel memory `create` will allocate.
    static constexpr int64_t kMaxBytes = int64_t(1) << 30;

protected:
    struct FreePixels {
        void operator()(Pixel* pixels) const;
    };
    using PixelMemory = std::unique_ptr<Pixel[], FreePixels>;

    // Takes over `pixels` (from allocate_pixels) as an owning bitmap of pitch_for(width).
    Bitmap(PixelMemory&& pixels, int width, int height);
    // Pixel memory for an owning bitmap of width x height under the pitch rule, or null.
    static PixelMemory allocate_pixels(int width, int height);

private:
    PixelMemory m_owned;  // null for a view of foreign pixels
    Pixel* m_pixels = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_pitch = 0;
};

}  // namespace vistrel
