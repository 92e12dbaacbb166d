// Our entropy decoder against libjpeg's own reading of the same pictures: every
// coefficient of every block, and resuming from every record the scan recorder takes.

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/jpeg/entropy_decoder.h"
#include "library/jpeg/huffman_table.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/scan_recorder.h"
#include "record_check.h"
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

// Data bits a reader has used since the start of the scan: the data bytes it read (stuffed
// pairs count once, markers not at all) less the bits it still holds. Counts on from
// where it was last asked, as readers only move forward.
class BitsUsed {
public:
    BitsUsed(const std::vector<uint8_t>& bytes, size_t start) : m_bytes(bytes), m_at(start) {}
    int64_t operator()(const BitReader& reader) {
        while (m_at < reader.position()) {
            const bool pair = m_bytes[m_at] == 0xFF && m_at + 1 < m_bytes.size();
            if (!pair || m_bytes[m_at + 1] == 0x00) ++m_data_bytes;  // else a marker
            m_at += pair ? 2 : 1;
        }
        return m_data_bytes * 8 - reader.count();
    }

private:
    const std::vector<uint8_t>& m_bytes;
    size_t m_at;
    int64_t m_data_bytes = 0;
};

// Every MCU of the picture decoded in order against libjpeg, then every record resumed.
void check_bytes(const std::vector<uint8_t>& bytes) {
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
    BitsUsed full_used(bytes, layout.data_offset), skip_used(bytes, layout.data_offset);
    std::vector<CoefficientBlock> blocks(full.blocks_in_mcu());
    std::vector<int16_t*> pointers;
    for (auto& block : blocks)
        pointers.push_back(block.data());
    for (int row = 0; row < layout.mcu_rows; ++row) {
        for (int column = 0; column < layout.mcus_per_row; ++column) {
            ASSERT_TRUE(full.begin_mcu(full_reader));
            ASSERT_TRUE(full.decode_mcu(full_reader, pointers.data()));
            ASSERT_TRUE(skipping.begin_mcu(skip_reader));
            ASSERT_TRUE(skipping.skip_mcu(skip_reader));
            ASSERT_EQ(full_used(full_reader), skip_used(skip_reader));
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
    test::expect_records_resume(bytes, records);
}

void check_picture(const JpegOptions& options) {
    SCOPED_TRACE("size " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                 " components " + std::to_string(options.components) + " sampling " +
                 std::to_string(options.h) + "x" + std::to_string(options.v) + " restart " +
                 std::to_string(options.restart_rows) + "/" + std::to_string(options.restart_mcus));
    check_bytes(test::make_jpeg(options));
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

TEST(EntropyDecoder, MatchesLibjpegOnEveryRealPhotoItFollows) {
    VISTREL_REQUIRE_PHOTOS();
    int followed = 0;
    for (const auto& path : test::photo_files()) {
        SCOPED_TRACE(path.string());
        const std::vector<uint8_t> bytes = test::read_bytes(path.string());
        if (!layout_of(bytes).ok()) continue;
        check_bytes(bytes);
        ++followed;
    }
    EXPECT_GT(followed, 40);
}

TEST(HuffmanTable, RefusesCodesThatDoNotFit) {
    HuffmanCodes codes;
    codes.defined = true;
    codes.counts[2] = 3;  // 00, 01, 10: valid, 11 left free
    codes.symbol_count = 3;
    HuffmanTable table;
    EXPECT_TRUE(table.build(codes, true));
    codes.counts[2] = 4;  // would use the all-ones code
    codes.symbol_count = 4;
    EXPECT_FALSE(table.build(codes, true));
    codes.counts[2] = 200;  // far more codes than two bits hold
    codes.symbol_count = 200;
    EXPECT_FALSE(table.build(codes, false));
    codes.counts[2] = 1;
    codes.symbols[0] = 16;  // no DC difference has 16 bits
    codes.symbol_count = 1;
    EXPECT_FALSE(table.build(codes, true));
    EXPECT_TRUE(table.build(codes, false));
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
