#include "library/cache/crc32.h"

#include <zlib.h>

#include <algorithm>
#include <vector>

namespace vistrel {

uint32_t crc32_of(const void* bytes, size_t size, uint32_t crc) {
    const auto* at = static_cast<const Bytef*>(bytes);
    // zlib takes its lengths in 32 bits.
    while (size > 0) {
        const uInt step = static_cast<uInt>(std::min<size_t>(size, 1u << 30));
        crc = static_cast<uint32_t>(crc32(crc, at, step));
        at += step;
        size -= step;
    }
    return crc;
}

bool crc32_of_stream(InputStream& stream, uint64_t offset, uint64_t size, uint32_t& crc) {
    constexpr size_t kBlock = 64 * 1024;
    if (!stream.seek(offset)) return false;
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(size, kBlock)));
    uint32_t sum = 0;
    while (size > 0) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(size, kBlock));
        if (stream.read(block.data(), want) != want) return false;
        sum = crc32_of(block.data(), want, sum);
        size -= want;
    }
    crc = sum;
    return true;
}

}  // namespace vistrel
