// Pictures that libjpeg decodes to their end past damaged data ("premature end of data
// segment", a broken stretch it resynchronises after): cached and shown as libjpeg decodes
// them, their full size through a clean baseline copy our decoder follows; only pictures
// with no decodable image data get the failure marker.

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_check.h"
#include "library/cache/cache_file.h"
#include "library/cache/thumbnail.h"
#include "library/jpeg/jpeg_layout.h"
#include "library/jpeg/jpeg_reader.h"
#include "library/tiles/cache_tile_source.h"
#include "platform/text.h"
#include "render/bitmap.h"
#include "support/test_support.h"
#include "tile_check.h"

namespace vistrel {
namespace {

size_t data_offset(const std::vector<uint8_t>& jpeg) {
    MemoryStream stream(jpeg);
    return read_jpeg_layout(stream).data_offset;
}

// Whether libjpeg (through our reader) decodes every row and says the data is damaged.
bool decodes_with_damage(const std::vector<uint8_t>& jpeg) {
    MemoryStream input(jpeg);
    JpegReader reader(input, jpeg.size());
    if (!reader.start()) return false;
    std::vector<uint8_t> row(3 * size_t(reader.output_width()));
    for (int y = 0; y < reader.output_height(); ++y)
        if (!reader.read_row(row.data())) return false;
    return reader.data_damaged() && !reader.cut_short();
}

class DamagedPictureTest : public ::testing::Test {
protected:
    std::u16string picture(const std::string& name, const std::vector<uint8_t>& bytes) {
        test::write_bytes(m_dir.file(name), bytes);
        return from_utf8(m_dir.file(name));
    }
    std::u16string drive() const { return m_dir.u16() + u"/"; }

    // Cached, with a clean copy our decoder follows wholly, every level as libjpeg decodes
    // it (the full size as libjpeg decodes the damaged picture itself).
    // `exact`: the full size as libjpeg decodes the damaged picture; not for progressive
    // ones, whose missing coefficients libjpeg smooths over, where the copy has them as
    // they are.
    void expect_shown_as_decoded(const std::string& name, const std::vector<uint8_t>& bytes,
                                 bool exact = true) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(decodes_with_damage(bytes));
        const std::u16string path = picture(name, bytes);
        ASSERT_TRUE(build_cache_file(path, drive(), {}));
        const std::u16string cache = cache_file_name(path, drive());
        const CacheReport report = inspect_cache_file(cache, path);
        ASSERT_TRUE(report.valid) << report.problem;
        EXPECT_TRUE(report.header.has_copy());
        EXPECT_EQ(report.levels[0].records, report.levels[0].expected_records);
        EXPECT_TRUE(load_thumbnail(path, drive()));
        CacheTileSource source(path, drive());
        ASSERT_TRUE(source.open());
        EXPECT_TRUE(source.uses_records(source.levels()));
        for (int level = 0; level <= source.levels() - (exact ? 0 : 1); ++level) {
            const int cache_level = source.levels() - level;
            const std::vector<uint8_t> jpeg =
                cache_level == 0 ? bytes
                                 : test::cache_level_bytes(to_utf8(cache), bytes, cache_level);
            const test::DecodedPicture reference = test::as_shown(test::decode_jpeg(jpeg), 1);
            const test::DecodedPicture tiles = test::assemble_level(source, level);
            ASSERT_EQ(tiles.width, reference.width);
            EXPECT_GE(test::psnr(tiles.rgb, reference.rgb), 40.0) << "level " << level;
        }
    }
    test::TempDir m_dir;
};

TEST_F(DamagedPictureTest, PrematureEndOfDataShowsWhatDecodes) {
    test::JpegOptions options;
    options.width = 1200;
    options.height = 800;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    // The data stops at 40 %, and the file ends properly there.
    std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + ptrdiff_t(jpeg.size() * 2 / 5));
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    expect_shown_as_decoded("premature.jpg", bytes);
    // The same as a progressive picture.
    options.progressive = true;
    const std::vector<uint8_t> progressive = test::make_jpeg(options);
    std::vector<uint8_t> cut(progressive.begin(),
                             progressive.begin() + ptrdiff_t(progressive.size() / 8));
    cut.insert(cut.end(), {0xFF, 0xD9});
    expect_shown_as_decoded("premature-progressive.jpg", cut, false);
}

TEST_F(DamagedPictureTest, ABrokenStretchIsTakenUpAgainAtTheNextRestart) {
    test::JpegOptions options;
    options.width = 1000;
    options.height = 700;
    options.restart_rows = 1;
    std::vector<uint8_t> bytes = test::make_jpeg(options);
    size_t middle = (data_offset(bytes) + bytes.size()) / 2;
    while (bytes[middle - 1] == 0xFF)
        ++middle;
    // Sixteen one bits and more are no Huffman code ("bad Huffman code").
    for (size_t i = middle; i < middle + 24; i += 2) {
        bytes[i] = 0xFF;
        bytes[i + 1] = 0x00;
    }
    expect_shown_as_decoded("stretch.jpg", bytes);
}

TEST_F(DamagedPictureTest, OnlyPicturesWithNoDecodableDataFail) {
    test::JpegOptions options;
    options.width = 600;
    options.height = 400;
    const std::vector<uint8_t> jpeg = test::make_jpeg(options);
    std::vector<uint8_t> bytes(jpeg.begin(), jpeg.begin() + ptrdiff_t(data_offset(jpeg) + 2));
    bytes.insert(bytes.end(), {0xFF, 0xD9});
    const std::u16string path = picture("empty.jpg", bytes);
    EXPECT_EQ(build_cache_file_for(path, drive(), {}), CacheProblem::Damaged);
    EXPECT_TRUE(is_failed_thumbnail(cache_file_name(path, drive())));
}

}  // namespace
}  // namespace vistrel
