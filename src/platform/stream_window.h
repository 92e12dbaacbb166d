#pragma once
// A part of a stream seen as a stream of its own: bytes [offset, offset + size) of another
// stream, positions counted from the part's start. Reads never go past the part, so a
// damaged level of a cache file cannot lead a reader into the blocks after it.

#include <cstdint>

#include "platform/file_stream.h"

namespace vistrel {

class StreamWindow final : public InputStream {
public:
    StreamWindow(InputStream& stream, uint64_t offset, uint64_t size)
        : m_stream(stream), m_offset(offset), m_size(size) {}

    size_t read(void* buffer, size_t count) override;
    size_t skip(size_t count) override;
    bool is_open() const override { return m_stream.is_open(); }
    uint64_t size() const override { return m_size; }
    bool seek(uint64_t position) override;
    uint64_t position() const override { return m_position; }

private:
    InputStream& m_stream;
    uint64_t m_offset;
    uint64_t m_size;
    uint64_t m_position = 0;
};

}  // namespace vistrel
