#include "library/jpeg/exif_thumbnail.h"

#include "library/jpeg/exif_segment.h"

namespace vistrel {

namespace {

constexpr size_t kEntrySize = 12;
// A directory of more entries than this is damaged: no camera writes one.
constexpr int kMaxEntries = 512;

constexpr uint16_t kCompressionTag = 0x0103;
constexpr uint16_t kExifDirectoryTag = 0x8769;
constexpr uint16_t kThumbnailOffsetTag = 0x0201;
constexpr uint16_t kThumbnailLengthTag = 0x0202;
constexpr uint16_t kPixelWidthTag = 0xA002;
constexpr uint16_t kPixelHeightTag = 0xA003;
constexpr uint16_t kJpegCompression = 6;
constexpr uint16_t kShortType = 3;
constexpr uint16_t kLongType = 4;

// One directory of a TIFF block: its entries, checked to lie inside the block.
class Directory {
public:
    Directory(const TiffBlock& tiff, uint32_t offset) : m_tiff(tiff), m_offset(offset) {
        if (!tiff.has(offset, 2)) return;
        const int count = tiff.u16(offset);
        if (count > kMaxEntries || !tiff.has(offset + 2, size_t(count) * kEntrySize + 4)) return;
        m_count = count;
        m_valid = true;
    }
    bool valid() const { return m_valid; }
    // The offset of the next directory; 0 when there is none.
    uint32_t next() const { return m_tiff.u32(m_offset + 2 + size_t(m_count) * kEntrySize); }
    // The value of a one-count SHORT or LONG entry; false when there is none of that form.
    bool number(uint16_t tag, uint32_t& out) const {
        for (int i = 0; i < m_count; ++i) {
            const size_t entry = m_offset + 2 + size_t(i) * kEntrySize;
            if (m_tiff.u16(entry) != tag) continue;
            const uint16_t type = m_tiff.u16(entry + 2);
            if (m_tiff.u32(entry + 4) != 1) return false;
            if (type == kShortType) {
                out = m_tiff.u16(entry + 8);
                return true;
            }
            if (type == kLongType) {
                out = m_tiff.u32(entry + 8);
                return true;
            }
            return false;
        }
        return false;
    }

private:
    const TiffBlock& m_tiff;
    uint32_t m_offset;
    int m_count = 0;
    bool m_valid = false;
};

void read_picture_size(const TiffBlock& tiff, const Directory& first, ExifThumbnail& out) {
    uint32_t offset = 0, width = 0, height = 0;
    if (!first.number(kExifDirectoryTag, offset)) return;
    const Directory exif(tiff, offset);
    if (!exif.valid() || !exif.number(kPixelWidthTag, width) ||
        !exif.number(kPixelHeightTag, height))
        return;
    if (width == 0 || height == 0 || width > 1u << 16 || height > 1u << 16) return;
    out.picture_width = int(width);
    out.picture_height = int(height);
}

}  // namespace

bool read_exif_thumbnail(InputStream& stream, ExifThumbnail& out) {
    out = {};
    if (!stream.seek(0)) return false;
    BufferedInput in(stream);
    int length = 0;
    if (!find_exif_segment(in, length) || length < 8 + 8) return false;
    std::vector<uint8_t> bytes(size_t(length - 8));
    if (in.read(bytes.data(), bytes.size()) != bytes.size()) return false;
    TiffBlock tiff(bytes.data(), bytes.size());
    if (!tiff.read_byte_order()) return false;
    const uint32_t first_offset = tiff.u32(4);
    const Directory first(tiff, first_offset);
    if (!first.valid()) return false;
    read_picture_size(tiff, first, out);
    const uint32_t second_offset = first.next();
    if (second_offset == 0 || second_offset == first_offset) return false;
    const Directory second(tiff, second_offset);
    uint32_t compression = kJpegCompression, offset = 0, size = 0;
    if (!second.valid() || !second.number(kThumbnailOffsetTag, offset) ||
        !second.number(kThumbnailLengthTag, size))
        return false;
    second.number(kCompressionTag, compression);
    if (compression != kJpegCompression || size < 4 || !tiff.has(offset, size)) return false;
    const uint8_t* begin = tiff.data() + offset;
    if (begin[0] != 0xFF || begin[1] != 0xD8) return false;
    out.jpeg.assign(begin, begin + size);
    return true;
}

}  // namespace vistrel
