#include "library/bit_reader.h"

namespace vistrel {

void BitReader::resume(uint32_t bits, int count, uint8_t marker) {
    m_bits = bits;
    m_count = count < 0 ? 0 : (count > 32 ? 32 : count);
    m_marker = marker;
    m_exhausted = false;
    m_overrun = false;
}

bool BitReader::next_byte(uint8_t& out) {
    if (m_next == m_end) {
        const uint8_t* begin = nullptr;
        const uint8_t* end = nullptr;
        uint64_t position = 0;
        if (!m_source || !m_source->next_chunk(begin, end, position) || begin == end) {
            m_exhausted = true;
            return false;
        }
        m_chunk_begin = m_next = begin;
        m_end = end;
        m_chunk_position = position;
    }
    out = *m_next++;
    return true;
}

void BitReader::fill_slowly() {
    while (m_count < kRefillBelow && !m_marker) {
        uint8_t byte = 0;
        if (!next_byte(byte)) return;
        if (byte == 0xFF) {
            uint8_t code = 0;
            do {
                if (!next_byte(code)) return;
            } while (code == 0xFF);
            if (code != 0) {
                m_marker = code;
                return;
            }
        }
        m_bits = m_bits << 8 | byte;
        m_count += 8;
    }
}

bool BitReader::take_restart_marker(uint8_t expected) {
    m_count = 0;
    while (!m_marker) {
        // Anything before the marker is passed over, stuffed bytes included.
        uint8_t byte = 0;
        if (!next_byte(byte)) return false;
        if (byte != 0xFF) continue;
        uint8_t code = 0;
        do {
            if (!next_byte(code)) return false;
        } while (code == 0xFF);
        if (code != 0) m_marker = code;
    }
    if (m_marker != expected) return false;
    m_marker = 0;
    return true;
}

}  // namespace vistrel
