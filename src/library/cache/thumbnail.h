#pragma once
// The 64 x 64 thumbnail: made from the smallest level of a picture into the cache file, and
// loaded from there as an RGB565 bitmap turned the way the picture is meant to be seen.

#include <memory>
#include <string>

#include "library/jpeg/jpeg_reader.h"
#include "platform/file_stream.h"

namespace vistrel {

class Bitmap;

inline constexpr int kThumbnailSize = 64;
inline constexpr int kThumbnailQuality = 95;

// Decodes the JPEG at the input's position (at half size when its shorter side halved is
// still above 64) and writes the centred 64 x 64 crop as a JPEG of quality 95; portrait
// pictures are cropped from the top, and pictures smaller than 64 are framed in black.
// `stop` is asked before every row.
bool make_thumbnail(InputStream& input, OutputStream& output, const StopTest& stop);

// The thumbnail of a picture from its cache file under `drive`, with the picture's
// orientation applied; nothing when the cache file is missing, cut short or damaged. A
// file whose header or thumbnail is not as written is removed, so that the picture is
// built again.
std::unique_ptr<Bitmap> load_thumbnail(const std::u16string& picture, const std::u16string& drive);

// The rows of a started reader as an RGB565 bitmap; nothing when the data is damaged.
std::unique_ptr<Bitmap> read_bitmap(JpegReader& reader);

}  // namespace vistrel
