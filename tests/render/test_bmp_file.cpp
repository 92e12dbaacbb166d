// Reading and writing 16-bit bitmap files, pictures and their shared handles, PNG output.

#include <png.h>

#include <gtest/gtest.h>

#include "platform/file_stream.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "render/bmp_file.h"
#include "render/picture.h"
#include "render/png_file.h"
#include "support/test_support.h"
#include "support/trace_capture.h"
#include "test_bitmaps.h"

namespace vistrel {
namespace {

using test::bmp_bytes;
using test::bmp_row;
using test::BmpFields;

std::unique_ptr<Bitmap> read(const std::string& bytes) {
    MemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return read_bmp_565(stream);
}

std::vector<Pixel> row_of(const Bitmap& b, int y) {
    return std::vector<Pixel>(b.row(y), b.row(y) + b.width());
}

TEST(ReadBmp565, BottomUpRowsSkipTheirPadding) {
    BmpFields fields{3, 2, 16, 54, {bmp_row({1, 2, 3}), bmp_row({4, 5, 6})}};
    ASSERT_EQ(fields.rows[0].size(), 8u);
    auto b = read(bmp_bytes(fields));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->size(), (Size{3, 2}));
    EXPECT_EQ(row_of(*b, 0), (std::vector<Pixel>{4, 5, 6}));  // last stored row is the top
    EXPECT_EQ(row_of(*b, 1), (std::vector<Pixel>{1, 2, 3}));
}

TEST(ReadBmp565, NegativeHeightIsTopDownWithTheSamePadding) {
    BmpFields fields{3, -2, 16, 54, {bmp_row({1, 2, 3}), bmp_row({4, 5, 6})}};
    auto b = read(bmp_bytes(fields));
    ASSERT_TRUE(b);
    EXPECT_EQ(row_of(*b, 0), (std::vector<Pixel>{1, 2, 3}));
    EXPECT_EQ(row_of(*b, 1), (std::vector<Pixel>{4, 5, 6}));
}

TEST(ReadBmp565, MaskBytesBeforeThePixelsAreSkippedAndValuesKept) {
    BmpFields fields{2, 1, 16, 66, {bmp_row({kColourKey, 0xFFFF})}};
    auto b = read(bmp_bytes(fields));
    ASSERT_TRUE(b);
    EXPECT_EQ(row_of(*b, 0), (std::vector<Pixel>{kColourKey, 0xFFFF}));
}

TEST(ReadBmp565, OtherDepthsAndBrokenHeadersAreRefused) {
    EXPECT_FALSE(read(bmp_bytes({2, 2, 8, 54, {bmp_row({1, 2}), bmp_row({1, 2})}})));
    EXPECT_FALSE(read(bmp_bytes({2, 2, 24, 54, {bmp_row({1, 2, 3}), bmp_row({1, 2, 3})}})));
    EXPECT_FALSE(read(""));
    EXPECT_FALSE(read(bmp_bytes({0, 2, 16, 54, {}})));          // zero width
    EXPECT_FALSE(read(bmp_bytes({-4, 2, 16, 54, {}})));         // negative width
    EXPECT_FALSE(read(bmp_bytes({4, 0, 16, 54, {}})));          // no rows
    EXPECT_FALSE(read(bmp_bytes({4, INT32_MIN, 16, 54, {}})));  // |height| overflows
    EXPECT_FALSE(read(bmp_bytes({INT32_MAX, INT32_MAX, 16, 54, {}})));
    EXPECT_FALSE(read(bmp_bytes({8001, -8000, 16, 54, {}})));          // over 64 megapixels
    EXPECT_FALSE(read(bmp_bytes({2, 1, 16, 20, {bmp_row({1, 2})}})));  // data in the headers
    std::string far = bmp_bytes({2, 1, 16, 54, {bmp_row({1, 2})}});
    test::put_le(far, 10, 0xFFFFFFF0u, 4);  // data beyond the end
    EXPECT_FALSE(read(far));
}

TEST(ReadBmp565, RowsMissingFromAShortFileAreBlack) {
    BmpFields fields{3, 3, 16, 54, {bmp_row({1, 2, 3}), bmp_row({4, 5, 6}), bmp_row({7, 8, 9})}};
    std::string bytes = bmp_bytes(fields);
    bytes.resize(54 + 8 + 3);  // one whole row and one and a half pixels of the next
    auto b = read(bytes);
    ASSERT_TRUE(b);
    EXPECT_EQ(row_of(*b, 2), (std::vector<Pixel>{1, 2, 3}));
    EXPECT_EQ(row_of(*b, 1), (std::vector<Pixel>{4, 5 & 0xFF, 0}));
    EXPECT_EQ(row_of(*b, 0), (std::vector<Pixel>{0, 0, 0}));

    auto headers_only = read(bmp_bytes({5, -4, 16, 54, {}}));
    ASSERT_TRUE(headers_only);
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(row_of(*headers_only, y), std::vector<Pixel>(5, 0));
}

TEST(ReadBmp565, ADeclaredSizeFarBeyondTheFileIsNotAllocated) {
    // 54 bytes claiming 4000 x 4000 pixels (32 MB): refused before any allocation.
    EXPECT_FALSE(read(bmp_bytes({4000, 4000, 16, 54, {}})));
    // Half of the rows of a large picture are enough; fewer are not.
    const int width = 256, rows = 256;  // 128 KiB of pixel data
    std::vector<std::vector<uint8_t>> stored(rows / 2, bmp_row(std::vector<uint16_t>(width, 7)));
    auto half = read(bmp_bytes({width, -rows, 16, 54, stored}));
    ASSERT_TRUE(half);
    EXPECT_EQ(half->row(rows / 2 - 1)[0], 7);
    EXPECT_EQ(half->row(rows / 2)[0], 0);
    stored.pop_back();
    EXPECT_FALSE(read(bmp_bytes({width, -rows, 16, 54, stored})));
}

TEST(WriteBmp565, RoundTripsThroughTheReader) {
    for (int width : {1, 2, 3, 7}) {
        auto b = Bitmap::create(width, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < width; ++x)
                b->row(y)[x] = Pixel(0x1000 * y + 37 * x + 1);
        MemoryStream stream;
        ASSERT_TRUE(write_bmp_565(*b, stream));
        EXPECT_EQ(stream.size(), 66u + 3u * uint64_t(Bitmap::pitch_for(width)));
        stream.rewind();
        auto back = read_bmp_565(stream);
        ASSERT_TRUE(back);
        for (int y = 0; y < 3; ++y)
            EXPECT_EQ(row_of(*back, y), row_of(*b, y)) << width;
    }
    auto empty = Bitmap::create(0, 0);
    MemoryStream stream;
    EXPECT_FALSE(write_bmp_565(*empty, stream));
}

TEST(Picture, MaskRedKeepsRedAndFlagButNotTheKey) {
    auto b = Bitmap::create(3, 1);
    b->row(0)[0] = kColourKey;
    b->row(0)[1] = 0xFFFF;
    b->row(0)[2] = 0x07DF;
    PictureHandle handle;
    Picture* raw = nullptr;
    ASSERT_TRUE(picture_from_bitmap(std::move(b), handle, &raw));
    EXPECT_EQ(raw, handle.get());
    EXPECT_EQ(handle.size(), (Size{3, 1}));
    EXPECT_TRUE(handle->name().empty());
    handle->mask_red();
    const Pixel* row = handle->bitmap().row(0);
    EXPECT_EQ(row[0], kColourKey);
    EXPECT_EQ(row[1], 0xF820);
    EXPECT_EQ(row[2], 0x0000);

    PictureHandle copy = handle;
    handle.reset();
    EXPECT_FALSE(handle);
    EXPECT_EQ(handle.size(), (Size{0, 0}));
    EXPECT_EQ(copy->size(), (Size{3, 1}));  // alive while a handle holds it
    EXPECT_FALSE(picture_from_bitmap(nullptr, copy));
    EXPECT_FALSE(copy);
}

using test::TraceCapture;

TEST(Load565, LoadsNamedPicturesAndTracesFailures) {
    test::TempDir dir;
    TraceCapture capture;
    const std::string base = dir.file("frame");
    test::write_file(base + ".bmp", bmp_bytes({2, 1, 16, 54, {bmp_row({7, 9})}}));
    test::write_file(dir.file("deep.bmp"), bmp_bytes({2, 1, 24, 54, {bmp_row({7, 9, 1})}}));

    PictureHandle handle;
    Picture* raw = nullptr;
    ASSERT_TRUE(load_565(from_utf8(base), handle, &raw));
    ASSERT_TRUE(handle);
    EXPECT_EQ(raw, handle.get());
    EXPECT_EQ(handle->name(), from_utf8(base));
    EXPECT_EQ(handle.size(), (Size{2, 1}));
    EXPECT_EQ(handle->bitmap().row(0)[1], 9);

    EXPECT_FALSE(load_565(from_utf8(dir.file("deep")), handle, &raw));
    EXPECT_FALSE(handle);
    EXPECT_EQ(raw, nullptr);
    EXPECT_FALSE(load_565(from_utf8(dir.file("missing")), handle));
    const std::string log = capture.text();
    EXPECT_NE(log.find("load_565 " + dir.file("deep") + " is not 16bit bitmap\n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("load_565 " + dir.file("missing") + " is not 16bit bitmap\n"),
              std::string::npos);
    EXPECT_EQ(log.find("frame"), std::string::npos);
}

TEST(WritePng, ExpandsChannelsByBitReplication) {
    test::TempDir dir;
    auto b = Bitmap::create(3, 2);
    b->row(0)[0] = 0xFFFF;
    b->row(0)[1] = 0x0000;
    b->row(0)[2] = 0x8410;  // red 16, green 32, blue 16
    b->row(1)[0] = 0xF800;
    b->row(1)[1] = 0x07E0;
    b->row(1)[2] = 0x001F;
    const std::string path = dir.file("out.png");
    ASSERT_TRUE(write_png(*b, from_utf8(path)));

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr));
    EXPECT_EQ(rgb, (std::vector<uint8_t>{255, 255, 255, 0, 0, 0, 132, 130, 132,  //
                                         255, 0, 0, 0, 255, 0, 0, 0, 255}));

    EXPECT_FALSE(write_png(*b, from_utf8(dir.file("no/such/folder/out.png"))));
}

}  // namespace
}  // namespace vistrel
