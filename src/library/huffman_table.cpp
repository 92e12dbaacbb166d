#include "library/huffman_table.h"

namespace vistrel {

bool HuffmanTable::build(const HuffmanSpec& spec, bool is_dc) {
    if (!spec.defined) return false;
    m_look.fill(0);
    m_skip.fill(0);
    m_symbols = spec.symbols;
    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = spec.counts[length];
        m_offset[length] = index - code;
        for (int i = 0; i < count; ++i, ++index, ++code) {
            if (index >= spec.symbol_count) return false;
            const uint8_t symbol = spec.symbols[index];
            if (is_dc && symbol > 15) return false;
            if (length > kLookBits) continue;
            // Every look-up value that starts with this code.
            const int spare = kLookBits - length;
            const uint32_t first = uint32_t(code) << spare;
            for (uint32_t fill = 0; fill < (1u << spare); ++fill) {
                m_look[first | fill] = static_cast<uint16_t>(length << 8 | symbol);
                const int run = symbol >> 4, size = symbol & 15;
                uint16_t skip = 0;
                if (size == 0)
                    skip = static_cast<uint16_t>(length | (run == 15 ? 16 : 0) << kSkipAdvanceShift);
                else if (length + size <= kLookBits)
                    skip = static_cast<uint16_t>((length + size) | (run + 1) << kSkipAdvanceShift);
                m_skip[first | fill] = skip;
            }
        }
        // The codes of one length must fit in that many bits, leaving the all-ones code free.
        if (code >= (int32_t(1) << length)) return false;
        m_max_code[length] = count ? code - 1 : -1;
        code <<= 1;
    }
    m_max_code[17] = 0x7FFFFFFF;  // stops the search for longer codes
    return true;
}

}  // namespace vistrel
