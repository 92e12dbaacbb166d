#pragma once
// The entropy decoder's bit buffer. Bytes enter at the low end, whole; a refill tops it up
// to at least 25 bits: eight bytes at a time where the data allows (no 0xFF among them),
// else byte by byte to at most 32. At a resume point it gives back the whole bytes it read
// ahead beyond 32 bits, so that it then holds what the classic 32-bit model holds: the last
// data bytes read before its position, of which the low `count` bits are still unused; a
// resume record needs no more than the count and the position.
//
// A 0xFF data byte is stored as FF 00. When a marker is met the reader stops there,
// remembers the marker's code and gives zero bits beyond what it holds; using such bits
// marks the data as overrun (it ended too early).
//
// The hot part of the state is a plain BitWindow, which decoding loops keep in registers;
// the BitReader adds where the bytes come from.

#include <cstdint>
#include <cstring>

#include "library/jpeg/byte_source.h"

namespace vistrel {

struct BitWindow {
    uint64_t bits = 0;  // the low `count` bits (at most 63) are unused data
    int count = 0;
    const uint8_t* next = nullptr;  // the next byte of the current chunk
    const uint8_t* end = nullptr;
    uint8_t marker = 0;  // code of a marker read ahead, or 0
    bool overrun = false;

    // The next `n` bits (1..16) without using them; call after a fill.
    uint32_t peek(int n) const {
        const uint32_t mask = (1u << n) - 1;
        if (count >= n) return uint32_t(bits >> (count - n)) & mask;
        return uint32_t(bits << (n - count)) & mask;
    }
    // Uses `n` bits. Using more than are held (possible only past a marker or the end)
    // leaves `count` negative until the next fill notes the overrun.
    void consume(int n) { count -= n; }
    uint32_t take(int n) {
        const uint32_t value = peek(n);
        consume(n);
        return value;
    }
};

class BitReader {
public:
    static constexpr int kRefillBelow = 25;

    BitReader() = default;
    // Reads from `source`, whose first chunk starts at input position `position`.
    BitReader(ByteSource& source, uint64_t position)
        : m_source(&source), m_chunk_position(position) {}

    // Input position of the next unread byte.
    uint64_t position() const { return m_chunk_position + uint64_t(m_window.next - m_chunk_begin); }
    // Unused bits held (0..63; at most 32 after give_back_read_ahead).
    int count() const { return m_window.count; }
    // The code byte of a marker read ahead (0xD0..0xD7 for restarts), or 0.
    uint8_t marker() const { return m_window.marker; }
    // The input ended before a marker (a file cut short).
    bool exhausted() const { return m_exhausted; }
    // Bits beyond the data were used.
    bool overrun() const { return m_window.overrun; }

    // Sets the bit buffer as a resume record describes it: `bits` holds the last data
    // bytes before the source's first chunk, `count` of its low bits unused.
    void resume(uint32_t bits, int count, uint8_t marker);

    const BitWindow& window() const { return m_window; }
    void set_window(const BitWindow& window) { m_window = window; }

    // Makes sure the window holds at least kRefillBelow bits, unless a marker or the end
    // of the input comes first.
    void fill(BitWindow& w) {
        if (w.count >= kRefillBelow) return;
        if (w.count < 0) {
            w.count = 0;
            w.overrun = true;
        }
        if (w.end - w.next >= 8 && !w.marker) {
            uint64_t word = 0;
            std::memcpy(&word, w.next, 8);
            word = __builtin_bswap64(word);  // the first byte highest
            // No 0xFF byte: a byte is 0xFF exactly when its complement is 0.
            const uint64_t flipped = ~word;
            if (!((flipped - 0x0101010101010101u) & ~flipped & 0x8080808080808080u)) {
                const int n = (63 - w.count) >> 3;  // whole bytes that fit
                w.bits = w.bits << (8 * n) | word >> (64 - 8 * n);
                w.next += n;
                w.count += 8 * n;
                return;
            }
        }
        w = fill_slowly(w);
    }
    void fill() { fill(m_window); }

    // Gives back the whole bytes held beyond 32 bits, so that the state is one a resume
    // record describes. They are always bytes of the current chunk without stuffing, read
    // by the eight-byte refill (the byte-by-byte one stops at 32 bits).
    void give_back_read_ahead() {
        BitWindow& w = m_window;
        if (w.count <= 32) return;
        const int bytes = (w.count - 32 + 7) >> 3;
        w.next -= bytes;
        w.bits >>= 8 * bytes;
        w.count -= 8 * bytes;
    }

    // Drops the bits held and reads on to the next marker, as at the end of a restart
    // interval. True when that marker is `expected`; it is then used up.
    bool take_restart_marker(uint8_t expected);

private:
    BitWindow fill_slowly(BitWindow w);
    // The next raw byte; false at the end of the input.
    bool next_byte(BitWindow& w, uint8_t& out);

    BitWindow m_window;
    ByteSource* m_source = nullptr;
    const uint8_t* m_chunk_begin = nullptr;
    uint64_t m_chunk_position = 0;
    bool m_exhausted = false;
};

}  // namespace vistrel
