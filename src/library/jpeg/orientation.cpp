#include "library/jpeg/orientation.h"

#include "library/jpeg/exif_segment.h"
#include "platform/buffered_input.h"
#include "render/bitmap.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

namespace vistrel {

namespace {

constexpr int kNoOrientation = 1;
constexpr uint16_t kOrientationTag = 274;
constexpr size_t kMaxTiffBytes = 2048;
constexpr size_t kEntrySize = 12;

// Reads the orientation entry of the first directory of an EXIF TIFF block whose
// segment is `segment_length` bytes long.
int orientation_from_tiff(TiffBlock& tiff, int segment_length) {
    if (segment_length < 20 || !tiff.read_byte_order()) return kNoOrientation;
    const uint16_t high = tiff.big_endian() ? tiff.u16(4) : tiff.u16(6);
    const uint16_t low = tiff.big_endian() ? tiff.u16(6) : tiff.u16(4);
    if (high != 0) return kNoOrientation;
    const int directory = low;
    if (directory > segment_length - 10 || !tiff.has(directory, 2)) return kNoOrientation;
    const int count = tiff.u16(directory);
    for (int i = 0; i < count; ++i) {
        const int k = directory + 2 + i * static_cast<int>(kEntrySize);
        if (k > segment_length - 20 || k >= 4096 || !tiff.has(k, kEntrySize)) break;
        if (tiff.u16(k) != kOrientationTag) continue;
        const uint8_t upper = tiff.byte(tiff.big_endian() ? k + 8 : k + 9);
        const uint8_t lower = tiff.byte(tiff.big_endian() ? k + 9 : k + 8);
        if (upper != 0 || lower >= 9) return kNoOrientation;
        return lower;
    }
    return kNoOrientation;
}

}  // namespace

int read_orientation(InputStream& stream) {
    if (!stream.seek(0)) return kNoOrientation;
    BufferedInput in(stream);
    int length = 0;
    if (!find_exif_segment(in, length)) return kNoOrientation;
    std::array<uint8_t, kMaxTiffBytes> bytes{};
    const size_t got = in.read(bytes.data(), std::min<size_t>(length - 8, kMaxTiffBytes));
    TiffBlock tiff(bytes.data(), got);
    return orientation_from_tiff(tiff, length);
}

void apply_orientation(Bitmap& bitmap, int orientation) {
    if (orientation < 2 || orientation > 8) return;
    // Destination row and column of source pixel (i, j), as
    // (row_i * i + row_j * j + row_end * (H - 1), column_i * i + column_j * j + column_end * (W -
    // 1)).
    struct Mapping {
        int row_i, row_j, row_end, column_i, column_j, column_end;
    };
    static constexpr Mapping kMappings[9] = {
        {1, 0, 0, 0, 1, 0},   {1, 0, 0, 0, 1, 0},   {1, 0, 0, 0, -1, 1},
        {-1, 0, 1, 0, -1, 1}, {-1, 0, 1, 0, 1, 0},  {0, 1, 0, 1, 0, 0},
        {0, 1, 0, -1, 0, 1},  {0, -1, 1, -1, 0, 1}, {0, -1, 1, 1, 0, 0},
    };
    const Mapping& m = kMappings[orientation];
    const int width = bitmap.width(), height = bitmap.height();
    const std::unique_ptr<Bitmap> turned = Bitmap::create(width, height);
    if (!turned) return;
    turned->clear();
    for (int i = 0; i < height; ++i) {
        const Pixel* source = bitmap.row(i);
        int row = m.row_i * i + m.row_end * (height - 1);
        int column = m.column_i * i + m.column_end * (width - 1);
        for (int j = 0; j < width; ++j, row += m.row_j, column += m.column_j)
            if (row >= 0 && row < height && column >= 0 && column < width)
                turned->row(row)[column] = source[j];
    }
    for (int i = 0; i < height; ++i)
        std::copy_n(turned->row(i), width, bitmap.row(i));
}

}  // namespace vistrel
