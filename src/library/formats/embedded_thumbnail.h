#pragma once
// The small pictures HEIF, AVIF and camera RAW files carry beside the picture itself, for
// showing it at once: the thumbnail item of a HEIF or AVIF, the embedded JPEG of a RAW.

#include <cstdint>
#include <vector>

#include "library/formats/picture_format.h"
#include "platform/file_stream.h"

namespace vistrel {

struct EmbeddedThumbnail {
    // HEIF and AVIF: the thumbnail item decoded, 3 bytes a pixel, turned and mirrored as
    // the picture is shown.
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    // RAW: the embedded JPEG as stored, to be turned by `orientation`.
    std::vector<uint8_t> jpeg;
    int orientation = 1;
    // The picture's own size: as shown for HEIF and AVIF, the sensor's as stored for RAW.
    int picture_width = 0;
    int picture_height = 0;
};

// Reads the thumbnail a HEIF, AVIF or RAW picture on `input` (from its start) carries;
// false when it has none, it is damaged, larger than `max_side` a side, or the format
// carries none.
bool read_embedded_thumbnail(InputStream& input, PictureFormat format, int max_side,
                             EmbeddedThumbnail& out);

}  // namespace vistrel
