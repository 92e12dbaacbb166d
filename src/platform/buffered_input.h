#pragma once
// Sequential reading of a stream through a 4096-byte buffer, for the small parsers that
// walk a file's structure (markers, EXIF).

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/file_stream.h"

namespace vistrel {

class BufferedInput {
public:
    // Reads from the stream's current position.
    explicit BufferedInput(InputStream& stream) : m_stream(stream) {}

    // Copies up to `count` bytes; returns how many there were.
    size_t read(uint8_t* out, size_t count);
    // One byte; false at the end.
    bool read_byte(uint8_t& out);
    // A big-endian 16-bit number; false at the end.
    bool read_u16(uint16_t& out);
    // Moves forward by `count` bytes; false when the input ends first.
    bool skip(uint64_t count);
    // Bytes consumed since the start.
    uint64_t consumed() const { return m_consumed; }

private:
    bool refill();

    InputStream& m_stream;
    std::array<uint8_t, 4096> m_buffer{};
    size_t m_next = 0;
    size_t m_end = 0;
    uint64_t m_consumed = 0;
};

}  // namespace vistrel
