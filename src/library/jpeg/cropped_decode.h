#pragma once
// A rectangle of a picture through libjpeg alone, for pictures our own decoder does not
// follow (progressive, arithmetic-coded, 12-bit, unusual sampling or colours): the
// library decodes only the rows down to the rectangle's last and converts only the columns
// around it (jpeg_crop_scanline, jpeg_skip_scanlines).

#include <cstdint>

#include "platform/file_stream.h"
#include "render/geometry.h"
#include "render/pixel.h"

namespace vistrel {

// Decodes `region` of the JPEG at the input's position (`size` bytes), scaled to
// 1/`scale` (1, 2, 4 or 8), into RGB565 rows of `pitch` bytes at `out`. False when the
// picture cannot be read or the region does not lie inside its scaled size.
bool decode_cropped(InputStream& input, uint64_t size, int scale, const Rect& region, Pixel* out,
                    int pitch);

}  // namespace vistrel
