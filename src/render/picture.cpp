#include "render/picture.h"

#include <utility>

#include "platform/file_stream.h"
#include "platform/trace.h"
#include "render/blit.h"
#include "render/bmp_file.h"

namespace vistrel {

Picture::Picture(std::unique_ptr<Bitmap> bitmap, std::u16string name)
    : m_bitmap(std::move(bitmap)), m_name(std::move(name)) {
    if (!m_bitmap) log_fatal("Picture::Picture", "Picture without bitmap");
}

Picture::~Picture() = default;

Size Picture::size() const {
    return m_bitmap->size();
}

void Picture::mask_red() {
    for (int y = 0; y < m_bitmap->height(); ++y) {
        Pixel* p = m_bitmap->row(y);
        for (int x = 0; x < m_bitmap->width(); ++x)
            if (p[x] != kColourKey) p[x] &= 0xF820;
    }
}

void Picture::draw(Surface& surface, Point pos, Size size, Point s0, Point s1, Point s2, Point s3,
                   int shift, const PixelOp& op) const {
    draw_tiled(surface, pos, size, *m_bitmap, s0, s1, s2, s3, shift, op);
}

const std::u16string& Picture::name() const {
    return m_name;
}

PictureHandle::PictureHandle(std::shared_ptr<Picture> picture) : m_picture(std::move(picture)) {
    if (m_picture) m_size = m_picture->size();
}

void PictureHandle::reset() {
    m_picture.reset();
    m_size = {};
}

namespace {

bool store(std::unique_ptr<Bitmap> bitmap, std::u16string name, PictureHandle& handle,
           Picture** out_picture) {
    handle.reset();
    if (out_picture) *out_picture = nullptr;
    if (!bitmap) return false;
    auto picture = std::make_shared<Picture>(std::move(bitmap), std::move(name));
    if (out_picture) *out_picture = picture.get();
    handle = PictureHandle(std::move(picture));
    return true;
}

}  // namespace

bool load_565(const std::u16string& path, PictureHandle& handle, Picture** out_picture) {
    handle.reset();
    if (out_picture) *out_picture = nullptr;
    std::unique_ptr<Bitmap> bitmap;
    {
        // A file that cannot be opened reads as nothing and fails like another depth.
        FileStream file(path + u".bmp", OpenMode::Read);
        bitmap = read_bmp_565(file);
    }
    if (!bitmap) {
        trace() << "load_565 " << path << " is not 16bit bitmap\n";
        return false;
    }
    return store(std::move(bitmap), path, handle, out_picture);
}

bool picture_from_bitmap(std::unique_ptr<Bitmap> bitmap, PictureHandle& handle,
                         Picture** out_picture) {
    return store(std::move(bitmap), {}, handle, out_picture);
}

}  // namespace vistrel
