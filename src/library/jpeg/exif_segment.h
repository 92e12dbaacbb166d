#pragma once
// The EXIF segment of a JPEG: finding it, and reading its TIFF block in the block's own
// byte order with every access bounds-checked by the caller through `has`.

#include <cstddef>
#include <cstdint>

#include "platform/buffered_input.h"

namespace vistrel {

class TiffBlock {
public:
    TiffBlock(const uint8_t* bytes, size_t size) : m_bytes(bytes), m_size(size) {}

    bool has(size_t offset, size_t count) const {
        return offset <= m_size && count <= m_size - offset;
    }
    size_t size() const { return m_size; }
    const uint8_t* data() const { return m_bytes; }
    uint8_t byte(size_t offset) const { return m_bytes[offset]; }
    uint16_t u16(size_t offset) const {
        return m_big_endian ? uint16_t(m_bytes[offset] << 8 | m_bytes[offset + 1])
                            : uint16_t(m_bytes[offset + 1] << 8 | m_bytes[offset]);
    }
    uint32_t u32(size_t offset) const {
        const uint32_t first = u16(offset), second = u16(offset + 2);
        return m_big_endian ? first << 16 | second : second << 16 | first;
    }
    void set_big_endian(bool big) { m_big_endian = big; }
    bool big_endian() const { return m_big_endian; }
    // Reads the byte-order mark and the 42 that follows it; false when they are not there.
    bool read_byte_order();

private:
    const uint8_t* m_bytes;
    size_t m_size;
    bool m_big_endian = false;
};

// Finds the EXIF segment among the application and comment segments that follow the
// start of image, and leaves the input just after its identifier; its length in `length`
// (the segment's length field: the TIFF block is length - 8 bytes). The walk is bounded,
// so a damaged file cannot make it read far or long.
bool find_exif_segment(BufferedInput& in, int& length);

}  // namespace vistrel
