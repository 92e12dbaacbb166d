#include "screens/thumbnails.h"

#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "render/blit.h"
#include "render/picture.h"
#include "render/surface.h"

namespace vistrel {

PictureReference framed_thumbnail(const Bitmap& thumbnail, Size size,
                                  const PictureReference& frame, const std::u16string& name) {
    if (size.empty() || thumbnail.size().empty()) return {};
    std::unique_ptr<Bitmap> out = Bitmap::create(size);
    if (!out) return {};
    Surface surface(out.get());
    stretch_blit(surface, {0, 0}, size, thumbnail, {0, 0}, thumbnail.size(), CopyOp());
    frame.draw(surface, {0, 0}, size, MaskComposeOp(0));
    const PictureHandle handle(std::make_shared<Picture>(std::move(out), name));
    return PictureReference::whole(handle);
}

ThumbnailState load_framed_thumbnail(const std::u16string& picture, const std::u16string& drive,
                                     Size size, const PictureReference& frame,
                                     PictureReference& out) {
    const std::u16string name = cache_file_name(picture, drive);
    if (name.empty() || is_failed_thumbnail(name)) return ThumbnailState::Failed;
    // A file built before colours were converted is built again, like a missing one.
    if (!is_cache_file_valid(name) || colours_out_of_date(picture, drive))
        return ThumbnailState::Missing;
    const std::unique_ptr<Bitmap> thumbnail = load_thumbnail(picture, drive);
    // A damaged cache file is removed by the load: the picture is to be built again.
    if (!thumbnail)
        return is_cache_file_valid(name) ? ThumbnailState::Failed : ThumbnailState::Missing;
    out = framed_thumbnail(*thumbnail, size, frame);
    return out.empty() ? ThumbnailState::Failed : ThumbnailState::Ready;
}

}  // namespace vistrel

#include "ui/element.h"

namespace vistrel {

Size thumbnail_size(const Element& image, const PictureReference& frame) {
    Size size = image.size();
    const Point design = image.design_size();
    const Size natural = frame.natural_size();
    if (size.w < 1) size.w = design.x > 0 ? design.x : natural.w > 0 ? natural.w : 64;
    if (size.h < 1) size.h = design.y > 0 ? design.y : natural.h > 0 ? natural.h : 64;
    return size;
}

}  // namespace vistrel
