// The bit buffer over stuffed data in chunks of every size: the bits it gives, where it
// stops at a marker, and the state it gives back to at a resume point.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "library/jpeg/bit_reader.h"

namespace vistrel {
namespace {

// The bytes in chunks of the given sizes, in turn.
class ChunkedSource final : public ByteSource {
public:
    ChunkedSource(const std::vector<uint8_t>& bytes, std::vector<size_t> sizes)
        : m_bytes(bytes), m_sizes(std::move(sizes)) {}
    bool next_chunk(const uint8_t*& begin, const uint8_t*& end, uint64_t& position) override {
        if (m_at >= m_bytes.size()) return false;
        const size_t size = std::min(m_sizes[m_turn++ % m_sizes.size()], m_bytes.size() - m_at);
        begin = m_bytes.data() + m_at;
        end = begin + size;
        position = m_at;
        m_at += size;
        return true;
    }

private:
    const std::vector<uint8_t>& m_bytes;
    std::vector<size_t> m_sizes;
    size_t m_at = 0;
    size_t m_turn = 0;
};

struct Stream {
    std::vector<uint8_t> data;     // the data bytes
    std::vector<uint8_t> encoded;  // stuffed, ending with an end-of-image marker
};

Stream make_stream(uint32_t seed, size_t count) {
    Stream s;
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        // Many 0xFF bytes, in runs too, to exercise the byte-by-byte refill.
        const uint8_t byte = (seed >> 29) == 0 ? 0xFF : uint8_t(seed >> 16);
        s.data.push_back(byte);
        s.encoded.push_back(byte);
        if (byte == 0xFF) s.encoded.push_back(0x00);
    }
    s.encoded.push_back(0xFF);
    s.encoded.push_back(0xD9);
    return s;
}

// Data bytes before an encoded position: a stuffed pair is one, a marker none.
size_t data_bytes_before(const std::vector<uint8_t>& encoded, uint64_t position) {
    size_t data = 0;
    for (size_t i = 0; i < position;) {
        const bool pair = encoded[i] == 0xFF;
        if (!pair || encoded[i + 1] == 0x00) ++data;
        i += pair ? 2 : 1;
    }
    return data;
}

uint32_t bit_at(const std::vector<uint8_t>& data, size_t bit) {
    return (data[bit / 8] >> (7 - bit % 8)) & 1;
}

TEST(BitReader, GivesTheDataBitsInOrderAndResumableStatesAtAnyPoint) {
    for (const std::vector<size_t>& sizes :
         {std::vector<size_t>{4096}, {1}, {3, 7, 1, 13}, {8}, {9, 2}}) {
        const Stream s = make_stream(uint32_t(sizes.size() * 77 + sizes[0]), 700);
        ChunkedSource source(s.encoded, sizes);
        BitReader reader(source, 0);
        size_t used = 0;  // data bits taken
        uint32_t noise = 5;
        while (used + 16 <= 8 * s.data.size()) {
            noise = noise * 1103515245u + 12345u;
            const int n = 1 + int(noise >> 28);
            BitWindow w = reader.window();
            reader.fill(w);
            ASSERT_GE(w.count, n) << "refill short at bit " << used;
            uint32_t expected = 0;
            for (int i = 0; i < n; ++i)
                expected = expected << 1 | bit_at(s.data, used + size_t(i));
            ASSERT_EQ(w.take(n), expected) << "at bit " << used;
            used += size_t(n);
            reader.set_window(w);
            if ((noise >> 20 & 7) == 0) {
                // A resume point: at most 32 bits held, which are the low bits of the
                // data bytes just before the position.
                reader.give_back_read_ahead();
                ASSERT_LE(reader.count(), 32);
                const size_t before = data_bytes_before(s.encoded, reader.position());
                ASSERT_EQ(8 * before - size_t(reader.count()), used);
                const uint64_t held = reader.window().bits;
                for (int i = 0; i < reader.count(); ++i)
                    ASSERT_EQ((held >> (reader.count() - 1 - i)) & 1, bit_at(s.data, used + size_t(i)));
            }
        }
        // At the end of the data the marker stops the reader; bits past it are zeros and
        // using them is an overrun.
        BitWindow w = reader.window();
        while (used < 8 * s.data.size()) {
            reader.fill(w);
            ASSERT_EQ(w.take(1), bit_at(s.data, used++));
        }
        reader.fill(w);
        EXPECT_EQ(w.marker, 0xD9);
        EXPECT_EQ(w.peek(8), 0u);
        w.consume(8);
        reader.fill(w);
        EXPECT_TRUE(w.overrun);
    }
}

}  // namespace
}  // namespace vistrel
