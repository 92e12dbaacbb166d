#include "platform/buffered_input.h"

#include <algorithm>

namespace vistrel {

bool BufferedInput::refill() {
    m_next = 0;
    m_end = m_stream.read(m_buffer.data(), m_buffer.size());
    return m_end > 0;
}

size_t BufferedInput::read(uint8_t* out, size_t count) {
    size_t done = 0;
    while (done < count) {
        if (m_next == m_end && !refill()) break;
        const size_t n = std::min(count - done, m_end - m_next);
        std::copy_n(m_buffer.data() + m_next, n, out + done);
        m_next += n;
        done += n;
    }
    m_consumed += done;
    return done;
}

bool BufferedInput::read_byte(uint8_t& out) {
    if (m_next == m_end && !refill()) return false;
    out = m_buffer[m_next++];
    ++m_consumed;
    return true;
}

bool BufferedInput::read_u16(uint16_t& out) {
    uint8_t bytes[2];
    if (read(bytes, 2) != 2) return false;
    out = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
    return true;
}

bool BufferedInput::skip(uint64_t count) {
    const uint64_t in_buffer = std::min<uint64_t>(count, m_end - m_next);
    m_next += static_cast<size_t>(in_buffer);
    m_consumed += in_buffer;
    uint64_t rest = count - in_buffer;
    while (rest > 0) {
        const size_t moved = m_stream.skip(static_cast<size_t>(std::min<uint64_t>(rest, 1u << 30)));
        if (moved == 0) return false;
        rest -= moved;
        m_consumed += moved;
    }
    return true;
}

}  // namespace vistrel
