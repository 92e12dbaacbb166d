#include "library/jpeg/orientation.h"

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

// The TIFF block of an EXIF segment, read in its own byte order.
class TiffBlock {
public:
    TiffBlock(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    bool has(size_t offset, size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    uint8_t byte(size_t offset) const { return m_bytes[offset]; }
    uint16_t u16(size_t offset) const {
        return m_big_endian ? uint16_t(m_bytes[offset] << 8 | m_bytes[offset + 1])
                            : uint16_t(m_bytes[offset + 1] << 8 | m_bytes[offset]);
    }
    void set_big_endian(bool big) { m_big_endian = big; }
    bool big_endian() const { return m_big_endian; }

private:
    const uint8_t* m_bytes;
    size_t m_size;
    bool m_big_endian = false;
};

// Reads the orientation entry of the first directory of an EXIF TIFF block whose
// segment is `segment_length` bytes long.
int orientation_from_tiff(TiffBlock& tiff, int segment_length) {
    if (segment_length < 20 || !tiff.has(0, 8)) return kNoOrientation;
    if (tiff.byte(0) == 0x49 && tiff.byte(1) == 0x49)
        tiff.set_big_endian(false);
    else if (tiff.byte(0) == 0x4D && tiff.byte(1) == 0x4D)
        tiff.set_big_endian(true);
    else
        return kNoOrientation;
    if (tiff.u16(2) != 42) return kNoOrientation;
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

// Finds the EXIF segment among the application and comment segments that follow the
// start of image, and leaves the input just after its identifier; its length in `length`.
// The walk is bounded, so a damaged file cannot make it read far or long.
bool find_exif_segment(BufferedInput& in, int& length) {
    constexpr int kMaxSegments = 32;
    constexpr uint64_t kMaxBytes = uint64_t(1) << 20;
    static constexpr uint8_t kExifId[6] = {0x45, 0x78, 0x69, 0x66, 0x00, 0x00};
    uint8_t start[2];
    if (in.read(start, 2) != 2 || start[0] != 0xFF || start[1] != 0xD8) return false;
    for (int segment = 0; segment < kMaxSegments && in.consumed() < kMaxBytes; ++segment) {
        uint8_t marker[2];
        uint16_t segment_length = 0;
        if (in.read(marker, 2) != 2 || marker[0] != 0xFF) return false;
        const bool application = marker[1] >= 0xE0 && marker[1] <= 0xEF;
        if ((!application && marker[1] != 0xFE) || !in.read_u16(segment_length) ||
            segment_length < 2)
            return false;
        uint64_t rest = segment_length - 2;
        if (marker[1] == 0xE1 && segment_length >= 8) {
            uint8_t id[6];
            if (in.read(id, 6) != 6) return false;
            if (std::equal(id, id + 6, kExifId)) {
                length = segment_length;
                return true;
            }
            rest -= 6;
        }
        if (!in.skip(rest)) return false;
    }
    return false;
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
