#pragma once
// Where our entropy decoder gets its bytes: chunks at increasing positions of the input.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

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

// The bytes [start, end) of a stream, read in chunks as the decoder asks for them: a first
// chunk of a size the caller expects to suffice, then 4096 bytes at a time, never past
// `end`. The first read also brings the bytes [look_back, start), so that a resumed
// decoder can rebuild its bit buffer. Chunks go into a buffer the caller keeps between
// uses.
class WindowSource final : public ByteSource {
public:
    WindowSource(InputStream& stream, uint64_t look_back, uint64_t start, uint64_t end,
                 size_t first_chunk, std::vector<uint8_t>& buffer);

    // Reads the look-back bytes and the first chunk; false when the stream fails.
    bool read_first();
    // The look-back bytes, after read_first.
    const uint8_t* look_back_begin() const { return m_buffer.data(); }
    const uint8_t* look_back_end() const { return m_buffer.data() + m_look_back_size; }

    bool next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) override;

private:
    bool read_at(uint64_t position, size_t count);

    InputStream& m_stream;
    uint64_t m_look_back;
    uint64_t m_next;  // stream position of the next chunk
    uint64_t m_end;
    size_t m_first_chunk;
    size_t m_look_back_size = 0;
    size_t m_size = 0;  // bytes in the buffer
    bool m_first_given = false;
    std::vector<uint8_t>& m_buffer;
};

}  // namespace vistrel
