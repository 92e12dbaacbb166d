#pragma once
// The small JPEG that cameras and phones store in a picture's EXIF block (the directory
// after the first one), and the picture size the EXIF block claims.

#include <cstdint>
#include <vector>

#include "platform/file_stream.h"

namespace vistrel {

struct ExifThumbnail {
    std::vector<uint8_t> jpeg;  // the thumbnail's bytes, from its start-of-image marker
    // The picture's width and height as the EXIF block records them; 0 when it does not.
    int picture_width = 0;
    int picture_height = 0;
};

// Reads the EXIF thumbnail of the JPEG at the start of the stream. False when there is
// none, or its directory is damaged, points outside the segment, says it is not a JPEG, or
// the bytes it points at do not begin as one. Reads no more than the EXIF segment.
bool read_exif_thumbnail(InputStream& stream, ExifThumbnail& out);

}  // namespace vistrel
