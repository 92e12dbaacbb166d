#pragma once
// A Huffman table made ready for decoding: a look-up of the codes up to kLookBits long, the
// canonical code limits for the longer ones, and for AC tables a look-up that passes over
// several coefficients at once when only the decoder's state is wanted.

#include <array>
#include <cstdint>

#include "library/jpeg/jpeg_layout.h"

namespace vistrel {

class HuffmanTable {
public:
    static constexpr int kLookBits = 10;
    static constexpr int kSkipBits = 12;

    // Builds the table; false when the stored table is not a valid prefix code (or, for
    // DC tables, holds a symbol above 15).
    bool build(const HuffmanCodes& codes, bool is_dc);
    // Builds the skip look-up of an AC table, which only passing over coefficients needs.
    void prepare_skip();

    // Look-up of the next kLookBits bits: code length in the high byte (0 when the code is
    // longer) and the symbol in the low byte.
    uint16_t look(uint32_t bits) const { return m_look[bits]; }

    // For AC tables, look-up of the next kSkipBits bits: the whole coefficients (code and
    // value bits) that fit in them, as the bits they take, how far they move the
    // coefficient index and whether the last of them ends the block. 0 when not even one
    // fits. See skip_bits, skip_advance, skip_ends_block.
    uint16_t skip(uint32_t bits) const { return m_skip[bits]; }
    static int skip_bits(uint16_t entry) { return entry & 15; }
    static int skip_advance(uint16_t entry) { return (entry >> 4) & 127; }
    static bool skip_ends_block(uint16_t entry) { return entry >> 11; }

    // Look-up of the next kLookBits bits for one coefficient (or DC difference) whose code
    // and value bits fit in them together: the value (signed, in the high byte), the zero
    // run before it (bits 4..7; 0 for DC) and the bits it takes (bits 0..3). In AC tables
    // an entry with value 0 is the end of the block (run 0) or a run of 16 zeros (run 15).
    // 0 when it does not fit.
    int16_t coefficient(uint32_t bits) const { return m_coefficient[bits]; }

    // The largest code of each length (-1 when there is none) and the symbol of a code.
    int32_t max_code(int length) const { return m_max_code[length]; }
    uint8_t symbol_at(int32_t code, int length) const {
        return m_symbols[static_cast<uint8_t>(code + m_offset[length])];
    }

private:
    // Decodes one symbol from a kSkipBits-bit value whose first `used` bits are taken; its
    // code length, or 0 when no code fits in the rest.
    int code_length_in(uint32_t bits, int used, int& symbol) const;
    void build_skip();

    std::array<uint16_t, 1 << kLookBits> m_look{};
    std::array<uint16_t, 1 << kSkipBits> m_skip{};
    std::array<int16_t, 1 << kLookBits> m_coefficient{};
    std::array<int32_t, 18> m_max_code{};
    std::array<int32_t, 17> m_offset{};
    std::array<uint8_t, 256> m_symbols{};
    HuffmanCodes m_codes;  // what the table was built from
    bool m_is_dc = false;
    bool m_skip_ready = false;
};

}  // namespace vistrel
