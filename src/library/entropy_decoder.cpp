#include "library/entropy_decoder.h"

namespace vistrel {

namespace {

constexpr int kLook = HuffmanTable::kLookBits;

// The value of `size` raw bits as a signed coefficient difference.
inline int extend(uint32_t bits, int size) {
    return bits < (1u << (size - 1)) ? int(bits) - (1 << size) + 1 : int(bits);
}

// Decodes one symbol; -1 for a code the table does not hold. The reader holds at least 16
// bits here unless the data ended.
inline int decode_symbol(BitReader& reader, const HuffmanTable& table) {
    const uint16_t entry = table.look(reader.peek(kLook));
    if (entry >> 8) {
        reader.consume(entry >> 8);
        return entry & 0xFF;
    }
    for (int length = kLook + 1; length <= 16; ++length) {
        const int32_t code = int32_t(reader.peek(length));
        if (code <= table.max_code(length)) {
            reader.consume(length);
            return table.symbol_at(code, length);
        }
    }
    return -1;
}

// The DC difference of the next block.
inline bool decode_dc(BitReader& reader, const HuffmanTable& table, int& difference) {
    reader.fill();
    const int size = decode_symbol(reader, table);
    if (size < 0) return false;
    difference = 0;
    if (size) {
        reader.fill();
        difference = extend(reader.take(size), size);
    }
    return true;
}

// Passes over the AC coefficients of one block.
inline bool skip_ac(BitReader& reader, const HuffmanTable& table) {
    for (int k = 1; k < 64;) {
        reader.fill();
        const uint16_t skip = table.skip(reader.peek(kLook));
        if (skip) {
            reader.consume(skip & kSkipBitsMask);
            const int advance = skip >> kSkipAdvanceShift;
            if (advance == 0) break;  // end of block
            k += advance;
            continue;
        }
        const int symbol = decode_symbol(reader, table);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            reader.fill();
            reader.consume(size);
            k += run + 1;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
    }
    return true;
}

inline bool decode_ac(BitReader& reader, const HuffmanTable& table, CoefficientBlock& block) {
    const auto& order = natural_order();
    for (int k = 1; k < 64; ++k) {
        reader.fill();
        const int symbol = decode_symbol(reader, table);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            k += run;
            reader.fill();
            block[order[k]] = static_cast<int16_t>(extend(reader.take(size), size));
        } else if (run == 15) {
            k += 15;
        } else {
            break;
        }
    }
    return true;
}

}  // namespace

const std::array<uint8_t, 80>& natural_order() {
    static const std::array<uint8_t, 80> order = [] {
        std::array<uint8_t, 80> o{};
        // Walk the anti-diagonals of the 8 x 8 block, alternating direction.
        int index = 0;
        for (int sum = 0; sum < 15; ++sum) {
            for (int i = 0; i <= sum; ++i) {
                const int row = (sum % 2 == 0) ? sum - i : i;
                const int column = sum - row;
                if (row < 8 && column < 8) o[index++] = static_cast<uint8_t>(row * 8 + column);
            }
        }
        for (; index < 80; ++index)
            o[index] = 63;
        return o;
    }();
    return order;
}

bool EntropyDecoder::init(const JpegLayout& layout) {
    m_blocks.clear();
    if (!layout.ok() || layout.block_components.size() > kMaxBlocksInMcu) return false;
    for (int c = 0; c < static_cast<int>(layout.components.size()); ++c) {
        const LayoutComponent& component = layout.components[c];
        if (!m_dc_tables[component.dc_table].build(layout.dc_tables[component.dc_table], true) ||
            !m_ac_tables[component.ac_table].build(layout.ac_tables[component.ac_table], false))
            return false;
    }
    for (int c : layout.block_components) {
        const LayoutComponent& component = layout.components[c];
        m_blocks.push_back(
            {c, &m_dc_tables[component.dc_table], &m_ac_tables[component.ac_table]});
    }
    m_restart_interval = layout.restart_interval;
    m_state = EntropyState{};
    m_state.restarts_to_go = static_cast<uint32_t>(m_restart_interval);
    return true;
}

bool EntropyDecoder::begin_mcu(BitReader& reader) {
    if (m_restart_interval == 0 || m_state.restarts_to_go != 0) return true;
    if (!reader.take_restart_marker(static_cast<uint8_t>(0xD0 + m_state.next_restart)))
        return false;
    m_state.dc = {};
    m_state.restarts_to_go = static_cast<uint32_t>(m_restart_interval);
    m_state.next_restart = (m_state.next_restart + 1) & 7;
    return true;
}

bool EntropyDecoder::skip_mcu(BitReader& committed) {
    BitReader reader = committed;
    EntropyState state = m_state;
    for (const BlockTables& block : m_blocks) {
        int difference = 0;
        if (!decode_dc(reader, *block.dc, difference) || !skip_ac(reader, *block.ac))
            return false;
        state.dc[block.component] = static_cast<int16_t>(state.dc[block.component] + difference);
    }
    if (reader.overrun() || reader.exhausted()) return false;
    if (m_restart_interval) --state.restarts_to_go;
    committed = reader;
    m_state = state;
    return true;
}

bool EntropyDecoder::decode_mcu(BitReader& committed, CoefficientBlock* blocks) {
    BitReader reader = committed;
    EntropyState state = m_state;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        const BlockTables& block = m_blocks[b];
        CoefficientBlock& out = blocks[b];
        out.fill(0);
        int difference = 0;
        if (!decode_dc(reader, *block.dc, difference)) return false;
        state.dc[block.component] = static_cast<int16_t>(state.dc[block.component] + difference);
        out[0] = state.dc[block.component];
        if (!decode_ac(reader, *block.ac, out)) return false;
    }
    if (reader.overrun() || reader.exhausted()) return false;
    if (m_restart_interval) --state.restarts_to_go;
    committed = reader;
    m_state = state;
    return true;
}

}  // namespace vistrel
