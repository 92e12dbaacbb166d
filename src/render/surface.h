#pragma once
// A drawing target: a bitmap seen through a clip rectangle. Surfaces are small values; copy
// one for a second view of the same bitmap. After any set_clip the clip lies inside the
// bitmap, and an empty clip is stored collapsed (right = left, bottom = top).

#include "render/bitmap.h"
#include "render/geometry.h"
#include "render/pixel.h"

namespace vistrel {

class SpanOp;

class Surface {
public:
    // No bitmap, clip (0, 0, 0, 0).
    Surface() = default;
    // Clip (0, 0, width, height), depth 0; `bitmap` is not owned and may be null.
    explicit Surface(Bitmap* bitmap);

    Bitmap* bitmap() const { return m_bitmap; }
    int clip_left() const { return m_clip.left; }
    int clip_top() const { return m_clip.top; }
    int clip_right() const { return m_clip.right; }
    int clip_bottom() const { return m_clip.bottom; }
    Rect clip() const { return m_clip; }
    // How many ClipScopes are open on this surface.
    int clip_depth() const { return m_clip_depth; }

    // Intersects [top_left, bottom_right) with the bitmap and makes it the clip. Does
    // nothing without a bitmap.
    void set_clip(Point top_left, Point bottom_right);

    // Writes the colour's pixel over the part of [position, position + size) in the clip.
    void fill(Point position, Size size, Colour colour);
    void fill_pixel(Point position, Size size, Pixel value);
    // Runs `span_op` over each row piece of the rectangle inside the clip.
    void apply(Point position, Size size, const SpanOp& span_op);

protected:
    void set_bitmap_and_clip(Bitmap* bitmap, Rect clip) {
        m_bitmap = bitmap;
        m_clip = clip;
    }

private:
    friend class ClipScope;

    Rect m_clip;
    int m_clip_depth = 0;
    Bitmap* m_bitmap = nullptr;
};

// Narrows a surface's clip for the life of the scope: the new clip is the intersection of
// the current one with [position, position + size); the old clip comes back exactly at
// the end. Scopes nest strictly.
class ClipScope {
public:
    ClipScope(Surface& surface, Point position, Size size);
    ~ClipScope();
    ClipScope(const ClipScope&) = delete;
    ClipScope& operator=(const ClipScope&) = delete;

    const Rect& saved() const { return m_saved; }

private:
    Surface& m_surface;
    Rect m_saved;
};

}  // namespace vistrel
