#include "library/jpeg/exif_segment.h"

#include <algorithm>

namespace vistrel {

bool TiffBlock::read_byte_order() {
    if (!has(0, 8)) return false;
    if (byte(0) == 0x49 && byte(1) == 0x49)
        set_big_endian(false);
    else if (byte(0) == 0x4D && byte(1) == 0x4D)
        set_big_endian(true);
    else
        return false;
    return u16(2) == 42;
}

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

}  // namespace vistrel
