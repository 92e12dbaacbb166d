#pragma once
// Where our entropy decoder gets its bytes: chunks at increasing positions of the input.

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/file_stream.h"

namespace vistrel {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // The chunk after the last one: [begin, end), starting at input position `position`.
    // False at the end of the input.
    virtual bool next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) = 0;
};

// Bytes already in memory: one chunk from `start` to `size`.
class SpanSource final : public ByteSource {
public:
    SpanSource(const uint8_t* data, size_t size, size_t start)
        : m_data(data), m_size(size), m_start(start < size ? start : size) {}
    bool next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) override;

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_start;
    bool m_given = false;
};

// A stream read through a 4096-byte buffer from a position of its own, so that others may
// read the same stream in between (it seeks before every read).
class StreamSource final : public ByteSource {
public:
    StreamSource(InputStream& stream, uint64_t start) : m_stream(stream), m_next_read(start) {}
    bool next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) override;

private:
    InputStream& m_stream;
    uint64_t m_next_read;
    std::array<uint8_t, 4096> m_buffer{};
};

}  // namespace vistrel
