// Reading the EXIF orientation, in either byte order, and never more than it understands.

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/jpeg/orientation.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

int orientation_of(const std::vector<uint8_t>& bytes) {
    MemoryStream stream(bytes);
    return read_orientation(stream);
}

std::vector<uint8_t> small_jpeg() {
    test::JpegOptions options;
    options.width = 16;
    options.height = 16;
    return test::make_jpeg(options);
}

TEST(ReadOrientation, BothByteOrders) {
    const std::vector<uint8_t> jpeg = small_jpeg();
    for (int value = 0; value <= 8; ++value) {
        EXPECT_EQ(orientation_of(test::with_exif_orientation(jpeg, value, false)), value);
        EXPECT_EQ(orientation_of(test::with_exif_orientation(jpeg, value, true)), value);
    }
    EXPECT_EQ(orientation_of(test::with_exif_orientation(jpeg, 9, false)), 1);
    EXPECT_EQ(orientation_of(test::with_exif_orientation(jpeg, 0x106, true)), 1);
    EXPECT_EQ(orientation_of(jpeg), 1);  // no EXIF at all
}

TEST(ReadOrientation, DamagedSegmentsReadAsOne) {
    const std::vector<uint8_t> good = test::with_exif_orientation(small_jpeg(), 6, false);
    ASSERT_EQ(orientation_of(good), 6);
    // Where the pieces are: FF D8, FF E1, length (4), "Exif\0\0" (6), then the TIFF block.
    constexpr size_t kTiff = 12;
    auto changed = [&](size_t at, uint8_t value, uint8_t next_value = 0, bool both = false) {
        std::vector<uint8_t> bytes = good;
        bytes[at] = value;
        if (both) bytes[at + 1] = next_value;
        return orientation_of(bytes);
    };
    EXPECT_EQ(changed(4, 0, 7, true), 1);           // segment length below 8
    EXPECT_EQ(changed(4, 0, 19, true), 1);          // segment length below 20
    EXPECT_EQ(changed(4, 0, 30, true), 1);          // the orientation entry lies past the segment
    EXPECT_EQ(changed(6, 'e'), 1);                  // not the EXIF identifier
    EXPECT_EQ(changed(kTiff, 'X'), 1);              // no byte order
    EXPECT_EQ(changed(kTiff + 2, 43), 1);           // not 42
    EXPECT_EQ(changed(kTiff + 6, 1), 1);            // directory offset above 16 bits
    EXPECT_EQ(changed(kTiff + 4, 200), 1);          // directory beyond the segment
    EXPECT_EQ(changed(kTiff + 8, 0), 1);            // no entries
    EXPECT_EQ(changed(kTiff + 8, 1), 1);            // one entry: the orientation is not reached
    EXPECT_EQ(changed(kTiff + 10 + 12 + 9, 1), 1);  // upper byte of the value
    // Cut anywhere: never more than 1, never a crash.
    for (size_t cut = 0; cut < kTiff + 10 + 24; ++cut) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + cut);
        EXPECT_EQ(orientation_of(bytes), 1) << "cut at " << cut;
    }
}

// A copy with one more segment (marker code, payload) right after the start of image.
std::vector<uint8_t> with_segment(const std::vector<uint8_t>& jpeg, uint8_t code,
                                  const std::string& payload) {
    const size_t length = payload.size() + 2;
    std::string head{'\xFF', '\xD8', '\xFF', char(code), char(length >> 8), char(length)};
    head += payload;
    std::vector<uint8_t> out(head.size() + jpeg.size() - 2);
    std::copy(head.begin(), head.end(), out.begin());
    std::copy(jpeg.begin() + 2, jpeg.end(), out.begin() + std::ptrdiff_t(head.size()));
    return out;
}

TEST(ReadOrientation, FindsTheExifSegmentAfterOtherSegments) {
    const std::vector<uint8_t> exif = test::with_exif_orientation(small_jpeg(), 6, false);
    // The JFIF segment first, as most pictures have it.
    EXPECT_EQ(orientation_of(test::with_exif_orientation(small_jpeg(), 8, true, true)), 8);
    // An XMP segment (also APP1), a comment and an ICC profile segment before it.
    const std::string xmp = std::string("http://ns.adobe.com/xap/1.0/") + '\0' + "<x:xmpmeta/>";
    EXPECT_EQ(orientation_of(with_segment(exif, 0xE1, xmp)), 6);
    EXPECT_EQ(orientation_of(with_segment(with_segment(exif, 0xFE, "hello"), 0xE2, "ICC")), 6);
    EXPECT_EQ(orientation_of(with_segment(exif, 0xE1, "")), 6);  // an APP1 too short for an id
    // The first EXIF segment counts.
    EXPECT_EQ(orientation_of(test::with_exif_orientation(exif, 3, false)), 3);
}

TEST(ReadOrientation, TheSegmentWalkIsBounded) {
    const std::vector<uint8_t> exif = test::with_exif_orientation(small_jpeg(), 6, false);
    // Another kind of marker ends the walk: tables before the EXIF segment hide it.
    EXPECT_EQ(orientation_of(with_segment(exif, 0xDB, std::string(65, '\0'))), 1);
    // A segment length below 2, or one running past the end of the file.
    std::vector<uint8_t> short_length = with_segment(exif, 0xE0, "JFIF");
    short_length[5] = 1;
    EXPECT_EQ(orientation_of(short_length), 1);
    std::vector<uint8_t> long_length = with_segment(std::vector<uint8_t>{0xFF, 0xD8}, 0xE0, "");
    long_length[4] = 0xFF;
    EXPECT_EQ(orientation_of(long_length), 1);
    // Many segments before it: the walk gives up rather than read on.
    std::vector<uint8_t> crowded = exif;
    for (int i = 0; i < 40; ++i)
        crowded = with_segment(crowded, 0xEA, "filler");
    EXPECT_EQ(orientation_of(crowded), 1);
    std::vector<uint8_t> some = exif;
    for (int i = 0; i < 20; ++i)
        some = with_segment(some, 0xEA, "filler");
    EXPECT_EQ(orientation_of(some), 6);
    // Or a megabyte of them.
    std::vector<uint8_t> heavy = exif;
    for (int i = 0; i < 20; ++i)
        heavy = with_segment(heavy, 0xED, std::string(60000, 'x'));
    EXPECT_EQ(orientation_of(heavy), 1);
}

TEST(ReadOrientation, TheOrientationPhotosReadAsTheirNamesSay) {
    VISTREL_REQUIRE_PHOTOS();
    const auto photos = test::photo_files("orientation");
    ASSERT_EQ(photos.size(), 18u);
    for (const auto& photo : photos) {
        const std::string name = photo.stem().string();  // Landscape_6, Portrait_0, ...
        EXPECT_EQ(orientation_of(test::read_bytes(photo.string())), name.back() - '0') << name;
    }
}

}  // namespace
}  // namespace vistrel
