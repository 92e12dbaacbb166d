#pragma once
// A surface that owns its bitmap and can be resized. Every live render surface counts its
// pixels in one process-wide counter (shown by the diagnostic overlay). The bitmap must
// never be replaced while a ClipScope is open on the surface: that ends the program.

#include <cstdint>
#include <memory>

#include "render/bitmap.h"
#include "render/surface.h"

namespace vistrel {

class PixelOp;

class RenderSurface : public Surface {
public:
    // Starts empty and resizes to `size`; (0, 0) leaves it without a bitmap.
    explicit RenderSurface(Size size = {});
    ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;
    RenderSurface(RenderSurface&& other) noexcept;
    RenderSurface& operator=(RenderSurface&& other) noexcept;

    // Replaces the bitmap by a new one of `size` with undefined contents. False, and
    // nothing changed, when the size is the current one (or (0, 0) without a bitmap).
    // When the allocation fails the surface is left without a bitmap.
    bool resize(Size size);
    // Hands the bitmap to the caller and leaves the surface empty.
    std::unique_ptr<Bitmap> release();
    // Takes ownership of a ready bitmap (null leaves the surface empty).
    void adopt(std::unique_ptr<Bitmap> bitmap);

    // The bitmap's size, (0, 0) without one.
    Size size() const;

    // Copies the whole bitmap to `target` at `position`, clipped by the target's clip.
    void draw_to(Surface& target, Point position, const PixelOp& op) const;
    // The same, scaled to `size` by nearest-pixel sampling.
    void draw_scaled_to(Surface& target, Point position, Size size, const PixelOp& op) const;

private:
    void take(std::unique_ptr<Bitmap> bitmap);
    void check_no_clip() const;

    std::unique_ptr<Bitmap> m_own_bitmap;
};

// The sum of width * height over the bitmaps of all live render surfaces.
int64_t surface_pixel_count();

}  // namespace vistrel
