#include "record_check.h"

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/jpeg/entropy_decoder.h"
#include "library/jpeg/jpeg_layout.h"

namespace vistrel::test {

namespace {

// Where block b of MCU (column, row) lies in its component's block grid.
struct BlockPlace {
    int component, row, column;
};

BlockPlace place(const JpegLayout& layout, int column, int row, int b) {
    const int component = layout.block_components[b];
    if (layout.components.size() == 1 || component != 0) return {component, row, column};
    const auto& c = layout.components[0];
    return {0, row * c.v + b / c.h, column * c.h + b % c.h};
}

}  // namespace

void expect_records_resume(const std::vector<uint8_t>& bytes,
                           const std::vector<ResumeRecord>& records) {
    MemoryStream stream(bytes);
    const JpegLayout layout = read_jpeg_layout(stream);
    ASSERT_TRUE(layout.ok());
    const Coefficients reference = read_coefficients(bytes);
    ASSERT_TRUE(reference.ok);
    const int step = record_step(layout.mcu_width);
    const int per_row = (layout.mcus_per_row + step - 1) / step;
    ASSERT_EQ(records.size(), size_t(per_row) * size_t(layout.mcu_rows));
    std::vector<CoefficientBlock> blocks(layout.block_components.size());
    std::vector<int16_t*> pointers;
    for (auto& block : blocks)
        pointers.push_back(block.data());
    EntropyDecoder decoder;
    ASSERT_TRUE(decoder.init(layout));
    for (size_t i = 0; i < records.size(); ++i) {
        const ResumeRecord& record = records[i];
        ASSERT_LE(record.bytes_to_end, bytes.size() - layout.data_offset) << "record " << i;
        ASSERT_LE(record.bit_count, 32) << "record " << i;
        const size_t position = bytes.size() - record.bytes_to_end;
        SpanSource source(bytes.data(), bytes.size(), position);
        BitReader reader(source, position);
        reader.resume(bit_buffer_before(bytes.data(), bytes.data() + position), record.bit_count,
                      record.marker);
        decoder.set_state({record.dc, record.restarts_to_go, record.next_restart});
        const int row = int(i) / per_row;
        for (int column = int(i) % per_row * step; column < layout.mcus_per_row; ++column) {
            ASSERT_TRUE(decoder.begin_mcu(reader)) << "record " << i;
            ASSERT_TRUE(decoder.decode_mcu(reader, pointers.data())) << "record " << i;
            for (size_t b = 0; b < blocks.size(); ++b) {
                const BlockPlace p = place(layout, column, row, int(b));
                const int width = reference.width_in_blocks[p.component];
                if (p.column >= width || p.row >= reference.height_in_blocks[p.component]) continue;
                const auto& expected =
                    reference.blocks[p.component][size_t(p.row) * width + p.column];
                for (int k = 0; k < 64; ++k)
                    ASSERT_EQ(blocks[b][k], expected[k]) << "record " << i << " MCU " << column
                                                         << " block " << b << " coefficient " << k;
            }
        }
    }
}

}  // namespace vistrel::test
