// Our entropy decoder against libjpeg's own reading of the same pictures: every
// coefficient of every block, and resuming from every record the scan recorder takes.

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/entropy_decoder.h"
#include "library/jpeg_layout.h"
#include "library/scan_recorder.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::JpegOptions;

JpegLayout layout_of(const std::vector<uint8_t>& bytes) {
    MemoryStream stream(bytes);
    return read_jpeg_layout(stream);
}

// Where block b of MCU (column, row) lies in its component's block grid.
struct BlockPlace {
    int component, row, column;
};

BlockPlace place(const JpegLayout& layout, int column, int row, int b) {
    const int component = layout.block_components[b];
    if (layout.components.size() == 1) return {0, row, column};
    const auto& c = layout.components[component];
    if (component != 0) return {component, row, column};
    return {0, row * c.v + b / c.h, column * c.h + b % c.h};
}

// Compares one decoded MCU with libjpeg's coefficients; blocks outside the picture
// (padding at the right and bottom) are not compared.
void expect_mcu(const JpegLayout& layout, const test::Coefficients& reference, int column, int row,
                const std::vector<CoefficientBlock>& blocks) {
    for (size_t b = 0; b < layout.block_components.size(); ++b) {
        const BlockPlace p = place(layout, column, row, int(b));
        const int width = reference.width_in_blocks[p.component];
        if (p.column >= width || p.row >= reference.height_in_blocks[p.component]) continue;
        const auto& expected = reference.blocks[p.component][size_t(p.row) * width + p.column];
        for (int k = 0; k < 64; ++k)
            ASSERT_EQ(blocks[b][k], expected[k])
                << "MCU " << column << "," << row << " block " << b << " coefficient " << k;
    }
}

// The bit buffer a resume needs: the last 4 data bytes before `position`, passing back over
// stuffed zeros and markers.
uint32_t rebuild_bits(const std::vector<uint8_t>& bytes, size_t position) {
    uint32_t bits = 0;
    int found = 0;
    size_t i = position;
    while (found < 4 && i > 0) {
        const uint8_t byte = bytes[i - 1];
        if (i >= 2 && bytes[i - 2] == 0xFF && byte == 0x00) {
            bits |= uint32_t(0xFF) << (8 * found++);
            i -= 2;
        } else if (i >= 2 && bytes[i - 2] == 0xFF && byte >= 0xD0 && byte <= 0xD9) {
            i -= 2;
        } else {
            bits |= uint32_t(byte) << (8 * found++);
            i -= 1;
        }
    }
    return bits;
}

// Data bits a reader has used since `start`: the data bytes it read (stuffed pairs count
// once, markers not at all) less the bits it still holds.
int64_t bits_used(const std::vector<uint8_t>& bytes, size_t start, const BitReader& reader) {
    int64_t data_bytes = 0;
    for (size_t i = start; i < reader.position(); ++i) {
        if (bytes[i] == 0xFF && i + 1 < bytes.size() && bytes[i + 1] != 0x00) {
            ++i;  // a marker
            continue;
        }
        ++data_bytes;
        if (bytes[i] == 0xFF) ++i;  // its stuffed zero
    }
    return data_bytes * 8 - reader.count();
}

void check_picture(const JpegOptions& options) {
    SCOPED_TRACE("size " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                 " components " + std::to_string(options.components) + " sampling " +
                 std::to_string(options.h) + "x" + std::to_string(options.v) + " restart " +
                 std::to_string(options.restart_rows) + "/" + std::to_string(options.restart_mcus));
    const std::vector<uint8_t> bytes = test::make_jpeg(options);
    const test::Coefficients reference = test::read_coefficients(bytes);
    ASSERT_TRUE(reference.ok);
    const JpegLayout layout = layout_of(bytes);
    ASSERT_TRUE(layout.ok());

    // Every MCU decoded in order; the skipping path must end each MCU in the same state.
    EntropyDecoder full, skipping;
    ASSERT_TRUE(full.init(layout));
    ASSERT_TRUE(skipping.init(layout));
    SpanSource full_source(bytes.data(), bytes.size(), layout.data_offset);
    SpanSource skip_source(bytes.data(), bytes.size(), layout.data_offset);
    BitReader full_reader(full_source, layout.data_offset);
    BitReader skip_reader(skip_source, layout.data_offset);
    std::vector<CoefficientBlock> blocks(full.blocks_in_mcu());
    std::vector<int16_t*> pointers;
    for (auto& block : blocks) pointers.push_back(block.data());
    for (int row = 0; row < layout.mcu_rows; ++row) {
        for (int column = 0; column < layout.mcus_per_row; ++column) {
            ASSERT_TRUE(full.begin_mcu(full_reader));
            ASSERT_TRUE(full.decode_mcu(full_reader, pointers.data()));
            ASSERT_TRUE(skipping.begin_mcu(skip_reader));
            ASSERT_TRUE(skipping.skip_mcu(skip_reader));
            ASSERT_EQ(bits_used(bytes, layout.data_offset, full_reader),
                      bits_used(bytes, layout.data_offset, skip_reader));
            ASSERT_EQ(full.state().dc, skipping.state().dc);
            expect_mcu(layout, reference, column, row, blocks);
        }
    }

    // Records: one per step on every row; resuming from each decodes the rest of its row
    // exactly.
    SpanSource record_source(bytes.data(), bytes.size(), layout.data_offset);
    ScanRecorder recorder(layout, record_source, layout.data_offset, bytes.size());
    std::vector<ResumeRecord> records;
    ASSERT_TRUE(recorder.decode_rows(layout.mcu_rows, records));
    ASSERT_TRUE(recorder.finished());
    ASSERT_EQ(records.size(), recorder.expected_records());
    const int step = record_step(layout.mcu_width);
    const int per_row = (layout.mcus_per_row + step - 1) / step;
    for (size_t i = 0; i < records.size(); ++i) {
        const ResumeRecord& record = records[i];
        const int row = int(i) / per_row;
        const int first = int(i) % per_row * step;
        ASSERT_LE(record.bytes_to_end, bytes.size());
        ASSERT_LE(record.bit_count, 32);
        const size_t position = bytes.size() - record.bytes_to_end;
        SpanSource source(bytes.data(), bytes.size(), position);
        BitReader reader(source, position);
        reader.resume(rebuild_bits(bytes, position), record.bit_count, record.marker);
        EntropyDecoder resumed;
        ASSERT_TRUE(resumed.init(layout));
        resumed.set_state({record.dc, record.restarts_to_go, record.next_restart});
        for (int column = first; column < layout.mcus_per_row; ++column) {
            ASSERT_TRUE(resumed.begin_mcu(reader));
            ASSERT_TRUE(resumed.decode_mcu(reader, pointers.data())) << "record " << i;
            expect_mcu(layout, reference, column, row, blocks);
        }
    }
}

TEST(EntropyDecoder, MatchesLibjpegForEverySamplingWeFollow) {
    for (const auto& [h, v] : {std::pair{1, 1}, {2, 1}, {1, 2}, {2, 2}}) {
        JpegOptions options;
        options.width = 301;  // more than 256 pixels: two records per MCU row
        options.height = 83;
        options.h = h;
        options.v = v;
        check_picture(options);
    }
    JpegOptions grey;
    grey.components = 1;
    grey.width = 517;
    grey.height = 37;
    check_picture(grey);
}

TEST(EntropyDecoder, FollowsRestartIntervals) {
    for (const int mcus : {1, 2, 7, 16, 19}) {
        JpegOptions options;
        options.width = 290;
        options.height = 50;
        options.restart_mcus = mcus;
        check_picture(options);
    }
    JpegOptions rows;
    rows.width = 600;
    rows.height = 70;
    rows.h = 2;
    rows.v = 1;
    rows.restart_rows = 1;
    check_picture(rows);
}

TEST(EntropyDecoder, FollowsOptimisedTablesAndExtremeQualities) {
    for (const int quality : {1, 50, 100}) {
        JpegOptions options;
        options.width = 130;
        options.height = 130;
        options.quality = quality;
        options.optimize = true;
        options.pattern = quality;
        check_picture(options);
    }
    JpegOptions tiny;
    tiny.width = 1;
    tiny.height = 1;
    check_picture(tiny);
}

TEST(EntropyDecoder, LayoutRefusesWhatItDoesNotFollow) {
    JpegOptions progressive;
    progressive.progressive = true;
    EXPECT_EQ(layout_of(test::make_jpeg(progressive)).status, LayoutStatus::Unsupported);
    JpegOptions arithmetic;
    arithmetic.arithmetic = true;
    EXPECT_EQ(layout_of(test::make_jpeg(arithmetic)).status, LayoutStatus::Unsupported);
    EXPECT_EQ(layout_of({0xFF, 0xD8, 0xFF, 0xD9}).status, LayoutStatus::Damaged);
    EXPECT_EQ(layout_of({'n', 'o', 't'}).status, LayoutStatus::Damaged);
}

TEST(EntropyDecoder, BrokenDataFailsWithoutCommittingTheMcu) {
    JpegOptions options;
    options.width = 64;
    options.height = 64;
    std::vector<uint8_t> bytes = test::make_jpeg(options);
    const JpegLayout layout = layout_of(bytes);
    ASSERT_TRUE(layout.ok());
    // Cut the data short (no end marker): decoding must fail, never read past the end.
    bytes.resize(layout.data_offset + 40);
    SpanSource source(bytes.data(), bytes.size(), layout.data_offset);
    ScanRecorder recorder(layout, source, layout.data_offset, bytes.size());
    std::vector<ResumeRecord> records;
    EXPECT_FALSE(recorder.decode_rows(layout.mcu_rows, records));
    EXPECT_FALSE(recorder.finished());
    EXPECT_LT(recorder.rows_done(), layout.mcu_rows);
}

}  // namespace
}  // namespace vistrel
