#include "library/jpeg/byte_source.h"

#include <algorithm>

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

WindowSource::WindowSource(InputStream& stream, uint64_t look_back, uint64_t start, uint64_t end,
                           size_t first_chunk, std::vector<uint8_t>& buffer)
    : m_stream(stream),
      m_look_back(std::min(look_back, start)),
      m_next(start),
      m_end(std::max(start, end)),
      m_first_chunk(std::max<size_t>(first_chunk, 1)),
      m_buffer(buffer) {}

bool WindowSource::read_at(uint64_t position, size_t count) {
    if (m_buffer.size() < count) m_buffer.resize(count);
    m_size = 0;
    if (count == 0) return true;
    if (!m_stream.seek(position)) return false;
    m_size = m_stream.read(m_buffer.data(), count);
    return m_size == count;
}

bool WindowSource::read_first() {
    m_look_back_size = static_cast<size_t>(m_next - m_look_back);
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(m_first_chunk, m_end - m_next));
    return read_at(m_look_back, m_look_back_size + chunk);
}

bool WindowSource::next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) {
    if (!m_first_given) {
        m_first_given = true;
        if (m_size > m_look_back_size) {
            begin = m_buffer.data() + m_look_back_size;
            end = m_buffer.data() + m_size;
            position = m_next;
            m_next += m_size - m_look_back_size;
            return true;
        }
    }
    if (m_next >= m_end) return false;
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(4096, m_end - m_next));
    if (!read_at(m_next, chunk)) return false;
    begin = m_buffer.data();
    end = begin + m_size;
    position = m_next;
    m_next += m_size;
    return true;
}

}  // namespace vistrel
