#pragma once
// Our baseline Huffman entropy decoder: one MCU at a time, either skipping the
// coefficients (to follow the scan and record its state) or producing them. An MCU's work
// is done on a copy of the state, which is committed only when the whole MCU is decoded.

#include <array>
#include <cstdint>
#include <vector>

#include "library/jpeg/bit_reader.h"
#include "library/jpeg/huffman_table.h"
#include "library/jpeg/jpeg_layout.h"

namespace vistrel {

// The decoder's own state besides the bit buffer.
struct EntropyState {
    std::array<int16_t, 3> dc{};  // DC predictors, per component of the frame
    uint32_t restarts_to_go = 0;  // MCUs left in the restart interval
    uint8_t next_restart = 0;     // number of the next restart marker (0..7)
};

// Coefficients of one block in natural (row by row) order.
using CoefficientBlock = std::array<int16_t, 64>;
// Where an MCU's blocks go: one pointer to 64 coefficients per block, in decoding order.
using McuBlocks = int16_t* const*;

class EntropyDecoder {
public:
    static constexpr int kMaxBlocksInMcu = 6;

    // False when the layout is not one we follow or its Huffman tables are not valid.
    bool init(const JpegLayout& layout);

    // At the start of each MCU: handles the end of a restart interval when one is due. False
    // when the expected restart marker is not there.
    bool begin_mcu(BitReader& reader);
    // Decodes one MCU and forgets its coefficients. False when the data is broken or ends.
    bool skip_mcu(BitReader& reader);
    // Decodes one MCU into `blocks` (as many as the MCU has blocks, in decoding order; a
    // null block is passed over); coefficients not coded are set to 0, unless the caller
    // gives blocks already zeroed.
    bool decode_mcu(BitReader& reader, McuBlocks blocks, bool zeroed = false);

    const EntropyState& state() const { return m_state; }
    void set_state(const EntropyState& state) { m_state = state; }
    int blocks_in_mcu() const { return static_cast<int>(m_blocks.size()); }

private:
    struct BlockTables {
        int component;
        const HuffmanTable* dc;
        const HuffmanTable* ac;
    };

    // Ends an MCU decoded on copies: false when its data ran out or past a marker, else
    // the copies become the decoder's state.
    bool commit(BitReader& committed, BitReader& reader, const BitWindow& window,
                EntropyState& state);

    std::array<HuffmanTable, 4> m_dc_tables;
    std::array<HuffmanTable, 4> m_ac_tables;
    std::vector<BlockTables> m_blocks;
    int m_restart_interval = 0;
    bool m_skip_ready = false;  // the skip look-ups of the tables in use are built
    EntropyState m_state;
};

// The natural-order index of each zig-zag position, with 16 extra entries at 63 so that a
// damaged run that overshoots lands on the last coefficient, as common decoders do.
constexpr std::array<uint8_t, 80> make_natural_order() {
    std::array<uint8_t, 80> order{};
    int index = 0;
    // Walk the anti-diagonals of the 8 x 8 block, alternating direction.
    for (int sum = 0; sum < 15; ++sum) {
        for (int i = 0; i <= sum; ++i) {
            const int row = (sum % 2 == 0) ? sum - i : i;
            const int column = sum - row;
            if (row < 8 && column < 8) order[index++] = static_cast<uint8_t>(row * 8 + column);
        }
    }
    for (; index < 80; ++index)
        order[index] = 63;
    return order;
}
inline constexpr std::array<uint8_t, 80> kNaturalOrder = make_natural_order();

}  // namespace vistrel
