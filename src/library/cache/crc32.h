#pragma once
// CRC-32 (the polynomial of zlib, PNG and gzip) of bytes in memory and of a stretch of a
// stream.

#include <cstddef>
#include <cstdint>

#include "platform/file_stream.h"

namespace vistrel {

// The checksum of `size` bytes, continuing from `crc` (0 to start).
uint32_t crc32_of(const void* bytes, size_t size, uint32_t crc = 0);

// The checksum of `size` bytes of `stream` from `offset`, read in blocks; false when they
// cannot all be read.
bool crc32_of_stream(InputStream& stream, uint64_t offset, uint64_t size, uint32_t& crc);

}  // namespace vistrel
