#include "skin/picture_reference.h"

namespace vistrel {

PictureReference PictureReference::whole(const PictureHandle& picture) {
    PictureReference ref;
    const Size size = picture.size();
    ref.p2 = ref.p3 = {size.w, size.h};
    ref.picture = picture;
    return ref;
}

void PictureReference::draw(Surface& surface, Point origin, Size size, const PixelOp& op) const {
    if (!picture) return;
    picture->draw(surface, origin, size, p0, p1, p2, p3, shift, op);
}

}  // namespace vistrel
