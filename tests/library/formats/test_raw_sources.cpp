// Camera RAW through libraw, on DNGs the tests write: the embedded preview, the demosaiced
// raw data (a colour filter mosaic and a linear DNG), the orientation, and damaged files.

#include <gtest/gtest.h>

#include <algorithm>

#include "jpeg_samples.h"
#include "picture_check.h"
#include "raw_samples.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

struct Channels {
    double r = 0, g = 0, b = 0;
};

// The mean colour of a rectangle of a decoded picture.
Channels mean(const test::Decoded& d, int x0, int y0, int x1, int y1) {
    Channels m;
    const int w = d.source->width();
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x, ++n) {
            const uint8_t* p = &d.rgb[(size_t(y) * w + x) * 3];
            m.r += p[0];
            m.g += p[1];
            m.b += p[2];
        }
    if (n) m = {m.r / n, m.g / n, m.b / n};
    return m;
}

// The scene of the raw data: red on the left, blue on the right, brighter downwards.
void expect_scene(const test::Decoded& d, const std::string& what) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(d.source) << d.problem;
    const int w = d.source->width(), h = d.source->height();
    ASSERT_EQ(d.rgb.size(), size_t(w) * h * 3);
    const Channels left = mean(d, 1, 1, w / 2 - 1, h - 1);
    const Channels right = mean(d, w / 2 + 1, 1, w - 1, h - 1);
    EXPECT_GT(left.r, left.b + 60);
    EXPECT_GT(right.b, right.r + 60);
    const Channels top = mean(d, 1, 0, w / 2 - 1, 2);
    const Channels bottom = mean(d, 1, h - 2, w / 2 - 1, h);
    EXPECT_GT(bottom.r, top.r + 30) << "brighter downwards";
}

class RawSourceTest : public ::testing::Test {
protected:
    // A DNG of the scene with a preview of `preview_width` (0: none) at 4:3.
    std::vector<uint8_t> dng(int preview_width, bool linear = false, int orientation = 1) {
        test::DngOptions options;
        options.linear = linear;
        options.orientation = orientation;
        if (preview_width > 0) {
            m_preview.width = preview_width;
            m_preview.height = preview_width * 3 / 4;
            options.preview = test::make_jpeg(m_preview);
            options.preview_width = m_preview.width;
            options.preview_height = m_preview.height;
        }
        return test::make_dng(options, m_dir.file("raw.dng"));
    }

    test::TempDir m_dir;
    test::JpegOptions m_preview;
};

TEST_F(RawSourceTest, AFullSizePreviewIsShownAsItsJpeg) {
    const std::vector<uint8_t> file = dng(64);
    ASSERT_FALSE(file.empty());
    const test::Decoded d = test::decode(file, u"IMG_0001.DNG");
    ASSERT_TRUE(d.source) << d.problem;
    EXPECT_EQ(d.source->format(), PictureFormat::Raw);
    EXPECT_EQ(d.source->width(), 64);
    EXPECT_EQ(d.source->height(), 48);
    EXPECT_FALSE(d.source->cut_short());
    const test::DecodedPicture jpeg = test::decode_jpeg(test::make_jpeg(m_preview));
    ASSERT_TRUE(jpeg.ok);
    EXPECT_LE(test::max_difference(d.rgb, jpeg.rgb), 4) << "the preview's pixels, not the raw data's";

    // The file's orientation comes with the preview, which is not turned.
    const test::Decoded turned = test::decode(dng(64, false, 6), u"turned.dng");
    ASSERT_TRUE(turned.source) << turned.problem;
    EXPECT_EQ(turned.source->orientation(), 6);
    EXPECT_EQ(turned.source->width(), 64);
}

TEST_F(RawSourceTest, WithoutAUsablePreviewTheRawDataIsDemosaicedAtHalfSize) {
    const test::Decoded none = test::decode(dng(0), u"a.dng");
    expect_scene(none, "no preview");
    ASSERT_TRUE(none.source);
    EXPECT_EQ(none.source->width(), 32);
    EXPECT_EQ(none.source->height(), 24);

    // A preview under half the sensor's size is a thumbnail, not the picture.
    const test::Decoded small = test::decode(dng(16), u"b.dng");
    expect_scene(small, "small preview");
    ASSERT_TRUE(small.source);
    EXPECT_EQ(small.source->width(), 32);

    // Three samples a pixel: nothing to demosaic, shown whole.
    const test::Decoded linear = test::decode(dng(0, true), u"c.dng");
    expect_scene(linear, "linear DNG");
    ASSERT_TRUE(linear.source);
    EXPECT_EQ(linear.source->width(), 64);
    EXPECT_EQ(linear.source->height(), 48);

    // libraw turns the pixels it demosaics itself.
    const test::Decoded turned = test::decode(dng(0, false, 6), u"d.dng");
    ASSERT_TRUE(turned.source) << turned.problem;
    EXPECT_EQ(turned.source->orientation(), 1);
    EXPECT_EQ(turned.source->width(), 24);
    EXPECT_EQ(turned.source->height(), 32);
}

TEST_F(RawSourceTest, ADamagedPreviewFallsBackToTheRawData) {
    const std::vector<uint8_t> good = dng(64);
    const std::vector<uint8_t> preview = test::make_jpeg(m_preview);
    ASSERT_FALSE(good.empty());
    const auto at = std::search(good.begin(), good.end(), preview.begin(), preview.end());
    ASSERT_NE(at, good.end());
    const size_t start = size_t(at - good.begin());

    // Its header overwritten: not a JPEG at all.
    std::vector<uint8_t> garbled = good;
    for (size_t i = start; i < start + 64; ++i)
        garbled[i] = uint8_t(i * 29);
    expect_scene(test::decode(garbled, u"garbled.dng"), "garbled preview");

    // Cut short: the last half of its data, with its end, blanked out.
    std::vector<uint8_t> cut = good;
    std::fill(cut.begin() + long(start + preview.size() / 2), cut.begin() + long(start + preview.size()), 0);
    const test::Decoded c = test::decode(cut, u"cut.dng");
    expect_scene(c, "cut preview");
    ASSERT_TRUE(c.source);
    EXPECT_EQ(c.source->width(), 32);
}

TEST_F(RawSourceTest, DamagedRawFilesFailWithAReasonOrShowWhatReads) {
    const std::vector<uint8_t> good = dng(0);
    ASSERT_FALSE(good.empty());
    // Cut anywhere: refused with a reason, or a picture of the right size; never a crash.
    for (size_t cut = 0; cut < good.size(); cut += good.size() / 23 + 1) {
        const std::vector<uint8_t> part(good.begin(), good.begin() + long(cut));
        const test::Decoded d = test::decode(part, u"part.dng");
        if (!d.source) {
            EXPECT_FALSE(d.problem.empty()) << cut;
        } else {
            EXPECT_EQ(d.rgb.size(), size_t(d.source->width()) * d.source->height() * 3) << cut;
        }
    }
    std::vector<uint8_t> noise(4096);
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t((i * 7919) >> 3);
    const test::Decoded n = test::decode(noise, u"noise.nef");
    EXPECT_FALSE(n.source);
    EXPECT_FALSE(n.problem.empty());
}

}  // namespace
}  // namespace vistrel
