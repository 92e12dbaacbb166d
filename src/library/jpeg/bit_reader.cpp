#include "library/jpeg/bit_reader.h"

namespace vistrel {

void BitReader::resume(uint32_t bits, int count, uint8_t marker) {
    m_window.bits = bits;
    m_window.count = count < 0 ? 0 : (count > 32 ? 32 : count);
    m_window.marker = marker;
    m_window.overrun = false;
    m_exhausted = false;
}

bool BitReader::next_byte(BitWindow& w, uint8_t& out) {
    if (w.next == w.end) {
        const uint8_t* begin = nullptr;
        const uint8_t* end = nullptr;
        uint64_t position = 0;
        if (!m_source || !m_source->next_chunk(begin, end, position) || begin == end) {
            m_exhausted = true;
            return false;
        }
        m_chunk_begin = w.next = begin;
        w.end = end;
        m_chunk_position = position;
    }
    out = *w.next++;
    return true;
}

BitWindow BitReader::fill_slowly(BitWindow w) {
    while (w.count < kRefillBelow && !w.marker) {
        uint8_t byte = 0;
        if (!next_byte(w, byte)) break;
        if (byte == 0xFF) {
            uint8_t code = 0;
            do {
                if (!next_byte(w, code)) return w;
            } while (code == 0xFF);
            if (code != 0) {
                w.marker = code;
                break;
            }
        }
        w.bits = w.bits << 8 | byte;
        w.count += 8;
    }
    return w;
}

bool BitReader::take_restart_marker(uint8_t expected) {
    BitWindow& w = m_window;
    w.count = 0;
    while (!w.marker) {
        // Anything before the marker is passed over, stuffed bytes included.
        uint8_t byte = 0;
        if (!next_byte(w, byte)) return false;
        if (byte != 0xFF) continue;
        uint8_t code = 0;
        do {
            if (!next_byte(w, code)) return false;
        } while (code == 0xFF);
        if (code != 0) w.marker = code;
    }
    if (w.marker != expected) return false;
    w.marker = 0;
    return true;
}

}  // namespace vistrel
