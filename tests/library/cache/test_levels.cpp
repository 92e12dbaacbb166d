// Levels: the pixels of each level, the records taken on the way in both recording
// modes, and what happens to damaged, cut and unusual pictures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "jpeg_samples.h"
#include "library/cache/half_pass.h"
#include "library/cache/level_chain.h"
#include "library/jpeg/jpeg_layout.h"
#include "record_check.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

using test::JpegOptions;

// 2 x 2 means of a decoded picture, dropping an odd last row and column.
test::DecodedPicture halve(const test::DecodedPicture& in) {
    test::DecodedPicture out;
    out.width = in.width / 2;
    out.height = in.height / 2;
    out.rgb.resize(size_t(out.width) * out.height * 3);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c) {
                auto at = [&](int xx, int yy) {
                    return int(in.rgb[(size_t(yy) * in.width + xx) * 3 + c]);
                };
                out.rgb[(size_t(y) * out.width + x) * 3 + c] =
                    uint8_t((at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) +
                             at(2 * x + 1, 2 * y + 1) + 2) >>
                            2);
            }
    return out;
}

TEST(Levels, AverageRowsIsTheRoundedMeanOfEachBlock) {
    std::vector<uint8_t> even(3 * 1001), odd(3 * 1001), out(3 * 500);
    for (size_t i = 0; i < even.size(); ++i) {
        even[i] = uint8_t(i * 37 + 11);
        odd[i] = uint8_t(i * 91 + 200);
    }
    average_rows(even.data(), odd.data(), out.data(), 500);
    for (int j = 0; j < 500; ++j)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(out[3 * j + c], (even[6 * j + c] + even[6 * j + 3 + c] + odd[6 * j + c] +
                                       odd[6 * j + 3 + c] + 2) >>
                                          2);
}

// The top-left width x height pixels of a decoded picture.
test::DecodedPicture cropped(const test::DecodedPicture& in, int width, int height) {
    test::DecodedPicture out;
    out.width = width;
    out.height = height;
    for (int y = 0; y < height; ++y) {
        const auto row = in.rgb.begin() + ptrdiff_t(3 * (size_t(y) * in.width));
        out.rgb.insert(out.rgb.end(), row, row + 3 * width);
    }
    return out;
}

TEST(Levels, TheFirstLevelIsTheHalfScaleDecodeAndEachFurtherOneHalfTheOneAbove) {
    for (const auto& [width, height] : {std::pair{301, 203}, {300, 202}, {258, 515}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        JpegOptions options;
        options.width = width;
        options.height = height;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        MemoryStream input(jpeg);
        MemoryStream one, two, three;
        std::vector<ResumeRecord> records;
        ASSERT_TRUE(decode_levels(input, jpeg.size(), {&one, &two, &three}, {}, &records));
        // Level 1 is exactly the library's encoding (quality 75, defaults) of its decode at
        // half scale, an odd last row and column (which the library rounds up) dropped;
        // each further level that of the means of the level above.
        test::DecodedPicture expected =
            cropped(test::decode_jpeg(jpeg, 2), width / 2, height / 2);
        for (MemoryStream* level : {&one, &two, &three}) {
            if (level != &one) expected = halve(expected);
            EXPECT_EQ(level->bytes(),
                      test::encode_rgb(expected.rgb, expected.width, expected.height, 75));
        }
        test::expect_records_resume(jpeg, records);
    }
}

// Level 1 made from the coefficients is as good a halving as the 2 x 2 means of a
// full-size decode: close to them on fine detail, smooth content and a real photo.
TEST(Levels, TheFirstLevelIsCloseToTheMeansOfTheFullDecode) {
    std::vector<std::pair<std::string, std::vector<uint8_t>>> pictures;
    for (const bool smooth : {false, true}) {
        JpegOptions options;
        options.width = 641;
        options.height = 479;
        options.smooth = smooth;
        options.pattern = smooth ? 1 : 2;
        pictures.emplace_back(smooth ? "smooth" : "detailed", test::make_jpeg(options));
    }
    for (const std::filesystem::path& photo : test::photo_files("large"))
        pictures.emplace_back(photo.filename().string(), test::read_bytes(photo.string()));
    if (!test::photos_dir()) std::printf("no photo corpus (../shared/photos): made pictures only\n");
    for (const auto& [name, jpeg] : pictures) {
        SCOPED_TRACE(name);
        MemoryStream input(jpeg), level;
        ASSERT_TRUE(half_pass(input, jpeg.size(), level, {}, nullptr));
        const test::DecodedPicture made = test::decode_jpeg(level.bytes());
        const test::DecodedPicture reference = halve(test::decode_jpeg(jpeg));
        ASSERT_EQ(made.width, reference.width);
        ASSERT_EQ(made.height, reference.height);
        // What the means themselves lose when stored at quality 75, as the levels are: the
        // level is to be about as close to them as that.
        const test::DecodedPicture stored = test::decode_jpeg(
            test::encode_rgb(reference.rgb, reference.width, reference.height, 75));
        const double own_mean = test::mean_difference(stored.rgb, reference.rgb);
        const double own_psnr = test::psnr(stored.rgb, reference.rgb);
        EXPECT_LT(test::mean_difference(made.rgb, reference.rgb), own_mean + 0.2);
        EXPECT_GT(test::psnr(made.rgb, reference.rgb), own_psnr - 0.5);
        EXPECT_GT(test::psnr(made.rgb, reference.rgb), 20.0);
    }
}

TEST(Levels, BothRecordingModesGiveRecordsThatResume) {
    for (const auto& [h, v, restart] : {std::tuple{2, 2, 0}, {2, 1, 3}, {1, 2, 0}, {1, 1, 5}}) {
        JpegOptions options;
        options.width = 530;
        options.height = 90;
        options.h = h;
        options.v = v;
        options.restart_mcus = restart;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        std::vector<uint8_t> level_bytes[2];
        for (const RecordingMode mode : {RecordingMode::InStep, RecordingMode::OwnPass}) {
            MemoryStream input(jpeg), output;
            std::vector<ResumeRecord> records;
            ASSERT_TRUE(half_pass(input, jpeg.size(), output, {}, &records, mode));
            test::expect_records_resume(jpeg, records);
            level_bytes[mode == RecordingMode::InStep] = output.bytes();
        }
        // Our decoder hands libjpeg exactly the coefficients its own decoder would.
        EXPECT_EQ(level_bytes[0], level_bytes[1]);
    }
}

TEST(Levels, PicturesOurDecoderDoesNotFollowStillHalveWithoutRecords) {
    JpegOptions progressive;
    progressive.progressive = true;
    JpegOptions arithmetic;
    arithmetic.arithmetic = true;
    JpegOptions grey;
    grey.components = 1;
    for (const JpegOptions& options : {progressive, arithmetic, grey}) {
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        MemoryStream input(jpeg), output;
        std::vector<ResumeRecord> records;
        ASSERT_TRUE(half_pass(input, jpeg.size(), output, {}, &records));
        EXPECT_EQ(test::decode_jpeg(output.bytes()).width, options.width / 2);
        EXPECT_EQ(records.empty(), options.components == 3);
    }
}

TEST(Levels, CutPicturesShowWhatTheyHoldAndGarbledOnesFailCleanly) {
    JpegOptions options;
    options.width = 120;
    options.height = 80;
    options.restart_mcus = 4;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    MemoryStream layout_stream(jpeg);
    const JpegLayout layout = read_jpeg_layout(layout_stream);
    const size_t data = layout.data_offset;
    std::vector<ResumeRecord> whole;
    {
        MemoryStream input(jpeg), output;
        ASSERT_TRUE(half_pass(input, jpeg.size(), output, {}, &whole, RecordingMode::OwnPass));
    }
    const size_t per_row = whole.size() / size_t(layout.mcu_rows);
    // Cut at every byte: without image data the picture fails; with some, it is decoded
    // by libjpeg (grey where the data is missing) and keeps the records of its whole rows.
    for (size_t cut = 0; cut < jpeg.size(); ++cut) {
        SCOPED_TRACE(testing::Message() << "cut at " << cut);
        std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + cut);
        MemoryStream input(bytes), output;
        std::vector<ResumeRecord> records;
        const bool shown =
            half_pass(input, bytes.size(), output, {}, &records, RecordingMode::OwnPass);
        EXPECT_EQ(shown, cut >= data + 16);
        if (!shown) continue;
        EXPECT_EQ(test::decode_jpeg(output.bytes()).width, options.width / 2);
        EXPECT_EQ(records.size() % per_row, 0u);
        ASSERT_LE(records.size(), whole.size());
        for (size_t i = 0; i < records.size(); ++i)
            EXPECT_EQ(records[i].bytes_to_end + (jpeg.size() - cut), whole[i].bytes_to_end);
    }
    uint32_t noise = 7;
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<uint8_t> bytes = jpeg;
        for (int i = 0; i < 8; ++i) {
            noise = noise * 1103515245u + 12345u;
            bytes[data + (noise >> 8) % (bytes.size() - data - 2)] = uint8_t(noise >> 24);
        }
        for (const RecordingMode mode : {RecordingMode::InStep, RecordingMode::OwnPass}) {
            MemoryStream input(bytes), output;
            std::vector<ResumeRecord> records;
            if (half_pass(input, bytes.size(), output, {}, &records, mode) && !records.empty())
                test::expect_records_resume(bytes, records);
        }
    }
}

TEST(Levels, AnEarlyEndOfImageShowsWhatDecodesWithoutRecords) {
    for (const bool arithmetic : {false, true}) {
        JpegOptions options;
        options.width = 400;
        options.height = 300;
        options.arithmetic = arithmetic;
        const std::vector<uint8_t> jpeg = test::make_jpeg(options);
        MemoryStream layout_stream(jpeg);
        const size_t data = read_jpeg_layout(layout_stream).data_offset;
        // Its data ends at a third ("premature end of data segment"): libjpeg shows its top,
        // grey below; right after it begins (baseline): nothing to show. Our decoder does
        // not follow the damage, so it is libjpeg's own pass that shows it.
        for (const size_t end : {jpeg.size() / 3, data + 2}) {
            if (arithmetic && end == data + 2) continue;  // libjpeg finds nothing wrong
            std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + ptrdiff_t(end));
            bytes.push_back(0xFF);
            bytes.push_back(0xD9);
            {
                MemoryStream input(bytes), output;
                std::vector<ResumeRecord> records;
                bool damaged = false;
                const bool shown = decode_levels(input, bytes.size(), {&output}, {}, &records,
                                                 RecordingMode::OwnPass, &damaged);
                EXPECT_EQ(shown, end > data + 2) << "arithmetic " << arithmetic;
                if (!shown) continue;
                EXPECT_TRUE(damaged);
                EXPECT_TRUE(records.empty());
                // The level is libjpeg's decode of the damaged picture, halved.
                const test::DecodedPicture level = test::decode_jpeg(output.bytes());
                const test::DecodedPicture whole = test::decode_jpeg(bytes);
                ASSERT_EQ(level.width, 200);
                const auto at = [&](int x, int y) {
                    return int(whole.rgb[3 * size_t(y * 400 + x)]);
                };
                const int mean = (at(40, 20) + at(41, 20) + at(40, 21) + at(41, 21) + 2) >> 2;
                EXPECT_NEAR(level.rgb[3 * (10 * 200 + 20)], mean, 16);
                EXPECT_NEAR(level.rgb[3 * (140 * 200 + 20)], 128, 3);  // grey: no data there
            }
        }
    }
}

class RefusingStream final : public OutputStream {
public:
    size_t write(const void*, size_t count) override { return count > 100 ? 0 : count; }
    bool is_open() const override { return true; }
    uint64_t size() const override { return 0; }
    bool seek(uint64_t) override { return true; }
    uint64_t position() const override { return 0; }
};

TEST(Levels, StopsWriteFailuresAndEmptyLevelsFail) {
    JpegOptions options;
    options.width = 600;
    options.height = 400;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    MemoryStream input(jpeg), output;
    int rows = 0;
    EXPECT_FALSE(half_pass(
        input, jpeg.size(), output, [&] { return ++rows > 100; }, nullptr));
    EXPECT_EQ(rows, 101);
    input.rewind();
    RefusingStream refusing;
    EXPECT_FALSE(half_pass(input, jpeg.size(), refusing, {}, nullptr));
    // A 3-pixel-wide picture has no third level.
    options.width = 3;
    const std::vector<uint8_t> narrow = test::make_jpeg(options);
    MemoryStream narrow_input(narrow), a, b;
    EXPECT_FALSE(decode_levels(narrow_input, narrow.size(), {&a, &b}, {}, nullptr));
}

}  // namespace
}  // namespace vistrel
