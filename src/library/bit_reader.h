#pragma once
// The entropy decoder's bit buffer, in the classic 32-bit model: bytes enter at the low
// end, whole, and it is refilled while it holds fewer than 25 bits. It therefore always
// holds the last data bytes read before its position, of which the low `count` bits are
// still unused; a resume record needs no more than the count and the position.
//
// A 0xFF data byte is stored as FF 00. When a marker is met the reader stops there,
// remembers the marker's code and gives zero bits beyond what it holds; using such bits
// marks the data as overrun (it ended too early).

#include <cstdint>

#include "library/byte_source.h"

namespace vistrel {

class BitReader {
public:
    static constexpr int kRefillBelow = 25;

    BitReader() = default;
    // Reads from `source`, whose first chunk starts at input position `position`.
    BitReader(ByteSource& source, uint64_t position)
        : m_source(&source), m_chunk_position(position) {}

    // Input position of the next unread byte.
    uint64_t position() const { return m_chunk_position + uint64_t(m_next - m_chunk_begin); }
    // Unused bits held (0..32).
    int count() const { return m_count; }
    // The code byte of a marker read ahead (0xD0..0xD7 for restarts), or 0.
    uint8_t marker() const { return m_marker; }
    // The input ended before a marker (a file cut short).
    bool exhausted() const { return m_exhausted; }
    // Bits beyond the data were used.
    bool overrun() const { return m_overrun; }

    // Sets the bit buffer as a resume record describes it: `bits` holds the last data
    // bytes before the source's first chunk, `count` of its low bits unused.
    void resume(uint32_t bits, int count, uint8_t marker);

    // Makes sure at least kRefillBelow bits are held, unless a marker or the end comes first.
    void fill() {
        if (m_count >= kRefillBelow) return;
        if (m_end - m_next >= 4 && !m_marker) {
            const uint32_t word = uint32_t(m_next[0]) << 24 | uint32_t(m_next[1]) << 16 |
                                  uint32_t(m_next[2]) << 8 | m_next[3];
            const uint32_t inverted = ~word;
            if (!((inverted - 0x01010101u) & word & 0x80808080u)) {  // no 0xFF byte
                const int n = (32 - m_count) >> 3;
                m_bits = m_bits << (8 * n) | word >> (32 - 8 * n);
                m_next += n;
                m_count += 8 * n;
                return;
            }
        }
        fill_slowly();
    }

    // The next `n` bits (1..16) without using them.
    uint32_t peek(int n) const {
        const uint32_t mask = (1u << n) - 1;
        if (m_count >= n) return uint32_t(m_bits >> (m_count - n)) & mask;
        return uint32_t(m_bits << (n - m_count)) & mask;
    }
    void consume(int n) {
        m_count -= n;
        if (m_count < 0) {
            m_count = 0;
            m_overrun = true;
        }
    }
    uint32_t take(int n) {
        const uint32_t value = peek(n);
        consume(n);
        return value;
    }

    // Drops the bits held and reads on to the next marker, as at the end of a restart
    // interval. True when that marker is `expected`; it is then used up.
    bool take_restart_marker(uint8_t expected);

private:
    void fill_slowly();
    // The next raw byte; false at the end of the input.
    bool next_byte(uint8_t& out);

    ByteSource* m_source = nullptr;
    uint64_t m_bits = 0;
    int m_count = 0;
    uint8_t m_marker = 0;
    bool m_exhausted = false;
    bool m_overrun = false;
    const uint8_t* m_next = nullptr;
    const uint8_t* m_end = nullptr;
    const uint8_t* m_chunk_begin = nullptr;
    uint64_t m_chunk_position = 0;
};

}  // namespace vistrel
