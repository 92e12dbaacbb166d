#pragma once
// Thumbnails as the album and folder screens show them: the picture's 64 x 64 thumbnail
// from its cache file, stretched to the size of the element that shows it, with the skin's
// frame picture laid over it.

#include <string>

#include "render/bitmap.h"
#include "render/geometry.h"
#include "skin/picture_reference.h"

namespace vistrel {

enum class ThumbnailState {
    Ready,    // the framed thumbnail is made
    Failed,   // the picture has no thumbnail and never will ("bad")
    Missing,  // the cache file is not built yet ("loading")
};

// The thumbnail stretched to `size` with `frame` laid over it (key pixels of the frame
// cut the result out, flagged ones let the photo through). Empty for an empty size. The
// picture is named `name` (a dump shows it).
PictureReference framed_thumbnail(const Bitmap& thumbnail, Size size,
                                  const PictureReference& frame, const std::u16string& name = {});

// The name of a quick thumbnail's picture, shown while the cache file is built.
inline constexpr char16_t kQuickThumbnailName[] = u"quick";

// Looks at the picture's cache file under `drive`: Ready with `out` set when it holds a
// thumbnail, Failed when the picture is gone, its cache is the failure marker or its
// thumbnail cannot be read, Missing when the cache is not built yet.
ThumbnailState load_framed_thumbnail(const std::u16string& picture, const std::u16string& drive,
                                     Size size, const PictureReference& frame,
                                     PictureReference& out);

}  // namespace vistrel

namespace vistrel {

class Element;

// The size a thumbnail is made at for the element that shows it: its laid-out size, else
// its design size, else the frame picture's natural size, else 64 x 64 on each side that
// is still unknown.
Size thumbnail_size(const Element& image, const PictureReference& frame);

}  // namespace vistrel
