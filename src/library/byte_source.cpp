#include "library/byte_source.h"

namespace vistrel {

bool SpanSource::next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) {
    if (m_given || m_start == m_size) return false;
    m_given = true;
    begin = m_data + m_start;
    end = m_data + m_size;
    position = m_start;
    return true;
}

bool StreamSource::next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) {
    if (!m_stream.seek(m_next_read)) return false;
    const size_t got = m_stream.read(m_buffer.data(), m_buffer.size());
    if (got == 0) return false;
    begin = m_buffer.data();
    end = begin + got;
    position = m_next_read;
    m_next_read += got;
    return true;
}

}  // namespace vistrel
