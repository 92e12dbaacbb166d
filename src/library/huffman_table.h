#pragma once
// A Huffman table made ready for decoding: a look-up of the codes up to kLookBits long, and
// the canonical code limits for the longer ones.

#include <array>
#include <cstdint>

#include "library/jpeg_layout.h"

namespace vistrel {

class HuffmanTable {
public:
    static constexpr int kLookBits = 10;

    // Builds the table; false when the spec does not describe a valid prefix code (or, for
    // DC tables, holds a symbol above 15).
    bool build(const HuffmanSpec& spec, bool is_dc);

    // Look-up of the next kLookBits bits: code length in the high byte (0 when the code is
    // longer) and the symbol in the low byte.
    uint16_t look(uint32_t bits) const { return m_look[bits]; }
    // For AC tables: what skipping the next coefficient takes, when code and value bits fit
    // in kLookBits together: bits to consume (low 5 bits) and how far the coefficient index
    // moves (next 5 bits; 0 for the end of the block). 0 when it does not fit.
    uint16_t skip(uint32_t bits) const { return m_skip[bits]; }

    // The largest code of each length (-1 when there is none) and, for codes of that
    // length, what to add to the code to get the symbol's index.
    int32_t max_code(int length) const { return m_max_code[length]; }
    uint8_t symbol_at(int32_t code, int length) const {
        return m_symbols[static_cast<uint8_t>(code + m_offset[length])];
    }

private:
    std::array<uint16_t, 1 << kLookBits> m_look{};
    std::array<uint16_t, 1 << kLookBits> m_skip{};
    std::array<int32_t, 18> m_max_code{};
    std::array<int32_t, 17> m_offset{};
    std::array<uint8_t, 256> m_symbols{};
};

inline constexpr uint16_t kSkipBitsMask = 0x1F;
inline constexpr int kSkipAdvanceShift = 5;

}  // namespace vistrel
