#pragma once
// A thumbnail made at once for a picture whose cache file is not built yet: from the
// thumbnail the file carries when that can be trusted (a JPEG's EXIF thumbnail, the
// thumbnail item of a HEIF or AVIF, the embedded JPEG of a camera RAW), else from a decode
// at 1/8 of its size (other formats: their rows averaged down as they are read).
// It covers the same part of the picture as the one the cache file will hold (the centred
// crop, portrait pictures from the top), turned by the picture's orientation, so that it
// is replaced without a jump.

#include <memory>
#include <string>
#include <vector>

#include "platform/file_stream.h"

namespace vistrel {

class Bitmap;

// Where a quick thumbnail came from.
enum class QuickSource {
    None,    // nothing could be made
    Exif,      // the EXIF thumbnail
    Embedded,  // the thumbnail item of a HEIF or AVIF, the embedded JPEG of a RAW
    Scaled,    // the decode at 1/8, or the rows averaged down
};

// The quick 64 x 64 thumbnail of the picture at `picture` (path macros expanded), of any
// format we read; null when it cannot be read. `source` (when given) says what it came from.
std::unique_ptr<Bitmap> make_quick_thumbnail(const std::u16string& picture,
                                             QuickSource* source = nullptr);
// The same from an open stream holding the picture from its start; `name` (its file's
// name) tells a camera RAW from a TIFF.
std::unique_ptr<Bitmap> make_quick_thumbnail(InputStream& stream, QuickSource* source = nullptr,
                                             std::u16string_view name = {});

// Whether a thumbnail of width x height shows a picture of picture_width x picture_height
// whole: its sides in the same proportion, within a pixel of rounding or 3 %.
bool thumbnail_fits_picture(int width, int height, int picture_width, int picture_height);

}  // namespace vistrel
