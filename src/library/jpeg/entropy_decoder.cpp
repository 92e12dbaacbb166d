#include "library/jpeg/entropy_decoder.h"

#include <algorithm>

namespace vistrel {

namespace {

constexpr int kLook = HuffmanTable::kLookBits;
constexpr int kSkip = HuffmanTable::kSkipBits;

// The value of `size` raw bits as a signed coefficient difference.
inline int extend(uint32_t bits, int size) {
    return bits < (1u << (size - 1)) ? int(bits) - (1 << size) + 1 : int(bits);
}

// Decodes one symbol; -1 for a code the table does not hold. The window holds at least 16
// bits here unless the data ended.
inline int decode_symbol(BitWindow& w, const HuffmanTable& table) {
    const uint16_t entry = table.look(w.peek(kLook));
    if (entry >> 8) {
        w.consume(entry >> 8);
        return entry & 0xFF;
    }
    for (int length = kLook + 1; length <= 16; ++length) {
        const int32_t code = int32_t(w.peek(length));
        if (code <= table.max_code(length)) {
            w.consume(length);
            return table.symbol_at(code, length);
        }
    }
    return -1;
}

// The DC difference of the next block.
inline bool decode_dc(BitWindow& w, BitReader& reader, const HuffmanTable& table, int& difference) {
    reader.fill(w);
    const int16_t fast = table.coefficient(w.peek(kLook));
    if (fast) {
        w.consume(fast & 15);
        difference = fast >> 8;
        return true;
    }
    const int size = decode_symbol(w, table);
    if (size < 0) return false;
    difference = 0;
    if (size) {
        reader.fill(w);
        difference = extend(w.take(size), size);
    }
    return true;
}

// Passes over the AC coefficients of one block, several at a time where they fit in the
// skip look-up, one at a time near the block's end and for long codes.
inline bool skip_ac(BitWindow& w, BitReader& reader, const HuffmanTable& table) {
    for (int k = 1; k < 64;) {
        reader.fill(w);
        const uint16_t entry = table.skip(w.peek(kSkip));
        if (entry && k + HuffmanTable::skip_advance(entry) < 64) {
            w.consume(HuffmanTable::skip_bits(entry));
            if (HuffmanTable::skip_ends_block(entry)) break;
            k += HuffmanTable::skip_advance(entry);
            continue;
        }
        const int symbol = decode_symbol(w, table);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            reader.fill(w);
            w.consume(size);
            k += run + 1;
        } else if (run == 15) {
            k += 16;
        } else {
            break;
        }
    }
    return true;
}

inline bool decode_ac(BitWindow& w, BitReader& reader, const HuffmanTable& table, int16_t* block) {
    for (int k = 1; k < 64; ++k) {
        reader.fill(w);
        const int16_t fast = table.coefficient(w.peek(kLook));
        if (fast) {
            w.consume(fast & 15);
            const int run = (fast >> 4) & 15;
            const int value = fast >> 8;
            if (value != 0) {
                k += run;
                block[kNaturalOrder[k]] = static_cast<int16_t>(value);
                continue;
            }
            if (run == 0) break;  // end of block
            k += 15;
            continue;
        }
        const int symbol = decode_symbol(w, table);
        if (symbol < 0) return false;
        const int run = symbol >> 4, size = symbol & 15;
        if (size) {
            k += run;
            reader.fill(w);
            block[kNaturalOrder[k]] = static_cast<int16_t>(extend(w.take(size), size));
        } else if (run == 15) {
            k += 15;
        } else {
            break;
        }
    }
    return true;
}

}  // namespace

bool EntropyDecoder::init(const JpegLayout& layout) {
    m_blocks.clear();
    if (!layout.ok() || layout.block_components.size() > kMaxBlocksInMcu) return false;
    // Each table once, however many components share it.
    std::array<bool, 4> dc_built{}, ac_built{};
    for (int c = 0; c < static_cast<int>(layout.components.size()); ++c) {
        const LayoutComponent& component = layout.components[c];
        const int dc = component.dc_table, ac = component.ac_table;
        if (!dc_built[dc] && !m_dc_tables[dc].build(layout.dc_tables[dc], true)) return false;
        if (!ac_built[ac] && !m_ac_tables[ac].build(layout.ac_tables[ac], false)) return false;
        dc_built[dc] = ac_built[ac] = true;
    }
    m_skip_ready = false;
    for (int c : layout.block_components) {
        const LayoutComponent& component = layout.components[c];
        m_blocks.push_back({c, &m_dc_tables[component.dc_table], &m_ac_tables[component.ac_table]});
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

bool EntropyDecoder::commit(BitReader& committed, BitReader& reader, const BitWindow& window,
                            EntropyState& state) {
    if (window.overrun || window.count < 0 || reader.exhausted()) return false;
    if (m_restart_interval) --state.restarts_to_go;
    reader.set_window(window);
    committed = reader;
    m_state = state;
    return true;
}

bool EntropyDecoder::skip_mcu(BitReader& committed) {
    if (!m_skip_ready) {
        for (const BlockTables& block : m_blocks)
            m_ac_tables[size_t(block.ac - m_ac_tables.data())].prepare_skip();
        m_skip_ready = true;
    }
    BitReader reader = committed;
    BitWindow w = reader.window();
    EntropyState state = m_state;
    for (const BlockTables& block : m_blocks) {
        int difference = 0;
        if (!decode_dc(w, reader, *block.dc, difference) || !skip_ac(w, reader, *block.ac))
            return false;
        state.dc[block.component] = static_cast<int16_t>(state.dc[block.component] + difference);
    }
    return commit(committed, reader, w, state);
}

bool EntropyDecoder::decode_mcu(BitReader& committed, McuBlocks blocks, bool zeroed) {
    BitReader reader = committed;
    BitWindow w = reader.window();
    EntropyState state = m_state;
    for (size_t b = 0; b < m_blocks.size(); ++b) {
        const BlockTables& block = m_blocks[b];
        int16_t* out = blocks[b];
        int difference = 0;
        if (!decode_dc(w, reader, *block.dc, difference)) return false;
        state.dc[block.component] = static_cast<int16_t>(state.dc[block.component] + difference);
        if (!out) {
            if (!skip_ac(w, reader, *block.ac)) return false;
            continue;
        }
        if (!zeroed) std::fill(out, out + 64, int16_t(0));
        out[0] = state.dc[block.component];
        if (!decode_ac(w, reader, *block.ac, out)) return false;
    }
    return commit(committed, reader, w, state);
}

}  // namespace vistrel
