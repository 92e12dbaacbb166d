#pragma once
// The frame and first scan of a JPEG, as our entropy decoder needs them: components and
// their sampling, quantisation and Huffman tables, the restart interval, the MCU geometry
// and where the entropy-coded data begins. Read by our own bounded marker parser.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/file_stream.h"

namespace vistrel {

// One Huffman table as stored: how many codes of each length 1..16, and the symbols.
struct HuffmanCodes {
    bool defined = false;
    std::array<uint8_t, 17> counts{};  // counts[l]: codes of length l; counts[0] unused
    std::array<uint8_t, 256> symbols{};
    int symbol_count = 0;
};

// Quantisation values in the file's zig-zag order.
struct QuantTable {
    bool defined = false;
    std::array<uint16_t, 64> values{};
};

struct LayoutComponent {
    int id = 0;
    int h = 1;  // sampling factors
    int v = 1;
    int quant_table = 0;
    int dc_table = 0;  // from the scan
    int ac_table = 0;
};

enum class LayoutStatus {
    Ok,           // a picture our decoder follows
    Unsupported,  // a valid picture it does not follow (progressive, arithmetic, 12-bit...)
    Damaged,      // not a JPEG, cut short, or inconsistent
};

struct JpegLayout {
    LayoutStatus status = LayoutStatus::Damaged;
    int width = 0;
    int height = 0;
    std::vector<LayoutComponent> components;  // frame order; the scan covers all of them
    std::array<HuffmanCodes, 4> dc_tables;
    std::array<HuffmanCodes, 4> ac_tables;
    std::array<QuantTable, 4> quant_tables;
    int restart_interval = 0;  // MCUs per restart interval; 0 for none
    uint64_t data_offset = 0;  // first byte of the entropy-coded data, from the start

    // MCU geometry.
    int mcu_width = 8;  // pixels
    int mcu_height = 8;
    int mcus_per_row = 0;
    int mcu_rows = 0;
    // The component of each block of an MCU, in decoding order (Y Y Y Y Cb Cr for 2 x 2).
    std::vector<int> block_components;

    bool ok() const { return status == LayoutStatus::Ok; }
};

// Parses from the stream's current position up to the first scan's entropy-coded data.
JpegLayout read_jpeg_layout(InputStream& stream);

}  // namespace vistrel
