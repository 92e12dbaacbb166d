// Reading the EXIF orientation, in either byte order, and never more than it understands.

#include <gtest/gtest.h>

#include "jpeg_samples.h"
#include "library/orientation.h"
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

TEST(ReadOrientation, OnlyTheFirstSegmentIsRead) {
    // An EXIF segment after the JFIF one is not looked at.
    EXPECT_EQ(orientation_of(test::with_exif_orientation(small_jpeg(), 6, false, true)), 1);
}

}  // namespace
}  // namespace vistrel
