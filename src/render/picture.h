#pragma once
// Pictures: a loaded (or drawn) bitmap ready for tiled drawing, shared by reference count.

#include <memory>
#include <string>

#include "render/bitmap.h"
#include "render/geometry.h"
#include "render/pixel_op.h"
#include "render/surface.h"

namespace vistrel {

class Picture {
public:
    // Owns `bitmap` (must not be null) and remembers the name it was loaded under.
    Picture(std::unique_ptr<Bitmap> bitmap, std::u16string name);
    virtual ~Picture();
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;

    virtual Size size() const;
    // Keeps only red and the opaque flag of every pixel but the colour key.
    virtual void mask_red();
    // draw_tiled with this picture's bitmap as the source.
    virtual void draw(Surface& surface, Point pos, Size size, Point s0, Point s1, Point s2,
                      Point s3, int shift, const PixelOp& op) const;
    // The name the picture was loaded under; empty for one made from a bitmap.
    virtual const std::u16string& name() const;

    const Bitmap& bitmap() const { return *m_bitmap; }

private:
    std::unique_ptr<Bitmap> m_bitmap;
    std::u16string m_name;
};

// A shared reference to a picture with a copy of its size; empty when it holds none.
class PictureHandle {
public:
    PictureHandle() = default;
    explicit PictureHandle(std::shared_ptr<Picture> picture);

    Picture* get() const { return m_picture.get(); }
    Picture* operator->() const { return m_picture.get(); }
    explicit operator bool() const { return m_picture != nullptr; }
    const std::shared_ptr<Picture>& shared() const { return m_picture; }
    // (0, 0) when empty.
    Size size() const { return m_size; }
    void reset();

private:
    std::shared_ptr<Picture> m_picture;
    Size m_size;
};

// Loads `path` + ".bmp" (a 16-bit bitmap file) into a new picture named `path`. The handle
// is reset first and stays empty on failure, which is traced. `out_picture`, when given,
// receives a plain pointer to the new picture (null on failure).
bool load_565(const std::u16string& path, PictureHandle& handle, Picture** out_picture = nullptr);

// Wraps a bitmap handed over by the caller into an unnamed picture, stored like load_565
// does. A null bitmap leaves the handle empty and returns false.
bool picture_from_bitmap(std::unique_ptr<Bitmap> bitmap, PictureHandle& handle,
                         Picture** out_picture = nullptr);

}  // namespace vistrel
