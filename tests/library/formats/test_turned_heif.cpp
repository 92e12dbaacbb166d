// HEIC pictures turned and mirrored by their irot and imir properties, which the tests
// add to the boxes of an encoded file.

#include <gtest/gtest.h>

#include "format_samples.h"
#include "heif_boxes.h"
#include "picture_check.h"

namespace vistrel {
namespace {

struct Rgb {
    std::vector<uint8_t> pixels;
    int width = 0;
    int height = 0;
};

// A quarter turn anticlockwise: the top-right corner comes to the top left.
Rgb turned_left(const Rgb& in) {
    Rgb out{std::vector<uint8_t>(in.pixels.size()), in.height, in.width};
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            for (int c = 0; c < 3; ++c)
                out.pixels[(size_t(y) * out.width + x) * 3 + c] =
                    in.pixels[(size_t(x) * in.width + (in.width - 1 - y)) * 3 + c];
    return out;
}

Rgb mirrored(const Rgb& in, bool top_to_bottom) {
    Rgb out = in;
    for (int y = 0; y < in.height; ++y)
        for (int x = 0; x < in.width; ++x) {
            const int sx = top_to_bottom ? x : in.width - 1 - x;
            const int sy = top_to_bottom ? in.height - 1 - y : y;
            for (int c = 0; c < 3; ++c)
                out.pixels[(size_t(y) * in.width + x) * 3 + c] =
                    in.pixels[(size_t(sy) * in.width + sx) * 3 + c];
        }
    return out;
}

void expect_shows(const std::vector<uint8_t>& file, const Rgb& expected, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_FALSE(file.empty()) << "the boxes could not be edited";
    const test::Decoded d = test::decode(file);
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_EQ(d.source->width(), expected.width);
    EXPECT_EQ(d.source->height(), expected.height);
    EXPECT_EQ(d.source->orientation(), 1) << "libheif turns the pixels itself";
    EXPECT_LE(test::max_difference(d.rgb, expected.pixels), 40);
}

TEST(TurnedHeif, RotationAndMirroringOfThePrimaryImageShow) {
    const test::FormatSample heic = test::make_heif(64, 48, false);
    if (heic.bytes.empty()) GTEST_SKIP() << heic.skipped;
    Rgb stored{test::flattened(heic, 0), heic.width, heic.height};
    // The file as encoded, through the box editor that adds nothing but a turn of 0.
    expect_shows(test::with_heif_rotation(heic.bytes, 0), stored, "no turn");

    Rgb turned = stored;
    for (int turns = 1; turns <= 3; ++turns) {
        turned = turned_left(turned);
        expect_shows(test::with_heif_rotation(heic.bytes, turns), turned,
                     std::to_string(turns) + " quarter turns");
    }
    // imir's axis 0 mirrors top to bottom, 1 left to right (libheif's reading of it).
    expect_shows(test::with_heif_mirror(heic.bytes, 0), mirrored(stored, true), "axis 0");
    expect_shows(test::with_heif_mirror(heic.bytes, 1), mirrored(stored, false), "axis 1");
    // Both, applied in the order they are listed: a turn, then the mirror.
    const std::vector<uint8_t> both = test::with_heif_mirror(test::with_heif_rotation(heic.bytes, 1), 1);
    expect_shows(both, mirrored(turned_left(stored), false), "turn and mirror");
}

TEST(TurnedHeif, TheBoxEditorRefusesWhatIsNotHeif) {
    EXPECT_TRUE(test::with_heif_rotation({}, 1).empty());
    EXPECT_TRUE(test::with_heif_rotation(std::vector<uint8_t>(100, 7), 1).empty());
    const test::FormatSample heic = test::make_heif(16, 16, false);
    if (heic.bytes.empty()) GTEST_SKIP() << heic.skipped;
    std::vector<uint8_t> cut = heic.bytes;
    cut.resize(cut.size() / 3);
    EXPECT_TRUE(test::with_heif_rotation(cut, 1).empty());
}

}  // namespace
}  // namespace vistrel
