#include "library/jpeg/cropped_decode.h"

#include <algorithm>
#include <vector>

#include "library/jpeg/jpeg_reader.h"

namespace vistrel {

namespace {

// Decoded around the region, so that libjpeg's chroma filters see the same neighbours at
// the region's edges as in a decode of the whole picture.
constexpr int kMargin = 16;

}  // namespace

bool decode_cropped(InputStream& input, uint64_t size, int scale, const Rect& region, Pixel* out,
                    int pitch) {
    JpegReader reader(input, size);
    if (!reader.ok() || !reader.start(scale)) return false;
    const int width = reader.output_width(), height = reader.output_height();
    if (region.empty() || region.left < 0 || region.top < 0 || region.right > width ||
        region.bottom > height)
        return false;
    int x = std::max(0, region.left - kMargin);
    int columns = std::min(width, region.right + kMargin) - x;
    if (!reader.crop(x, columns)) return false;
    const int top = std::max(0, region.top - kMargin);
    if (!reader.skip_rows(top)) return false;
    std::vector<uint8_t> rgb(3 * size_t(columns));
    const int skip = region.left - x;
    const int count = region.right - region.left;
    for (int y = top; y < region.bottom; ++y) {
        if (!reader.read_row(rgb.data())) return false;
        if (y < region.top) continue;
        Pixel* row = reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(out) +
                                              ptrdiff_t(y - region.top) * pitch);
        const uint8_t* from = rgb.data() + 3 * size_t(skip);
        for (int i = 0; i < count; ++i, from += 3)
            row[i] = to_pixel(from[0], from[1], from[2]);
    }
    return true;
}

}  // namespace vistrel
