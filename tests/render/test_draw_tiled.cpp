// Tiled drawing: the split into caps and middle, cap cutting, and clipping on each axis.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/blit.h"
#include "render/picture.h"
#include "test_bitmaps.h"

namespace vistrel {
namespace {

constexpr Pixel kEmpty = test::kUndrawn;
using test::coordinates;

// The source column drawn at each destination column of a one-row draw, -1 where nothing
// was drawn. `lo` and `hi` narrow the clip.
std::vector<int> columns(const std::vector<int>& s, int shift, int pos, int len, int lo, int hi,
                         int width = 40) {
    auto src = coordinates(width, 1);
    auto dst = Bitmap::create(64, 1);
    dst->clear(kEmpty);
    Surface surface(dst.get());
    surface.set_clip({lo, 0}, {hi, 1});
    draw_tiled(surface, {pos, 0}, {len, 1}, *src, {s[0], 0}, {s[1], 0}, {s[2], 1}, {s[3], 1}, shift,
               CopyOp());
    std::vector<int> out;
    for (int x = 0; x < 64; ++x)
        out.push_back(dst->row(0)[x] == kEmpty ? -1 : dst->row(0)[x]);
    return out;
}

std::vector<int> drawn(const std::vector<int>& all, int from, int to) {
    return std::vector<int>(all.begin() + from, all.begin() + to);
}

TEST(DrawTiled, CapsOnceMiddleRepeated) {
    // Caps of 2 and 3, middle of 3, into 12: 2 + 7 + 3.
    const auto c = columns({0, 2, 5, 8}, 0, 1, 12, 0, 64);
    EXPECT_EQ(drawn(c, 0, 14), (std::vector<int>{-1, 0, 1, 2, 3, 4, 2, 3, 4, 2, 5, 6, 7, -1}));
}

TEST(DrawTiled, CapsCutToFitKeepTheLastCapsOuterEnd) {
    // Caps of 4 and 6 into 8: first cap 4, one middle pixel, the last cap's outer 3.
    EXPECT_EQ(drawn(columns({0, 4, 6, 12}, 0, 0, 8, 0, 64), 0, 9),
              (std::vector<int>{0, 1, 2, 3, 4, 9, 10, 11, -1}));
    // A short first cap gives its spare to the last cap, and the other way round.
    EXPECT_EQ(drawn(columns({0, 1, 3, 10}, 0, 0, 6, 0, 64), 0, 6),
              (std::vector<int>{0, 1, 6, 7, 8, 9}));
    EXPECT_EQ(drawn(columns({0, 7, 9, 10}, 0, 0, 6, 0, 64), 0, 6),
              (std::vector<int>{0, 1, 2, 3, 7, 9}));
    EXPECT_EQ(drawn(columns({0, 4, 6, 12}, 0, 0, 1, 0, 64), 0, 2), (std::vector<int>{4, -1}));
}

TEST(DrawTiled, ClippingInsideTheMiddleStartsAtTheRightPhase) {
    // First cap 2, period 5, clipped 7 pixels after the start: no first cap, offset 0.
    const auto c = columns({0, 2, 7, 9}, 0, 0, 20, 7, 64);
    EXPECT_EQ(drawn(c, 0, 21), (std::vector<int>{-1, -1, -1, -1, -1, -1, -1, 2, 3, 4, 5,
                                                 6,  2,  3,  4,  5,  6,  2,  7, 8, -1}));
}

TEST(DrawTiled, ShiftMakesEachSourcePixelCoverMore) {
    // Points in source pixels times 2: caps of 1 source pixel, middle of 2.
    EXPECT_EQ(drawn(columns({0, 2, 6, 8}, 1, 0, 12, 0, 64), 0, 12),
              (std::vector<int>{0, 0, 1, 1, 2, 2, 1, 1, 2, 2, 3, 3}));
}

TEST(DrawTiled, WholePictureReferenceRepeatsTheBitmap) {
    auto src = coordinates(3, 2);
    PictureHandle handle;
    ASSERT_TRUE(picture_from_bitmap(std::move(src), handle));
    auto dst = Bitmap::create(6, 4);
    dst->clear(kEmpty);
    Surface surface(dst.get());
    handle->draw(surface, {0, 0}, {6, 4}, {0, 0}, {0, 0}, {3, 2}, {3, 2}, 0, CopyOp());
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(dst->row(y)[x], (y % 2) << 8 | (x % 3));
}

TEST(DrawTiled, RowsFollowTheSameSplitAndClip) {
    auto src = coordinates(4, 10);
    auto dst = Bitmap::create(4, 16);
    dst->clear(kEmpty);
    Surface surface(dst.get());
    surface.set_clip({0, 3}, {4, 12});
    // Rows: first cap [0, 2), middle [2, 5), last cap [5, 7); destination 14 rows from 0.
    draw_tiled(surface, {0, 0}, {1, 14}, *src, {0, 0}, {0, 2}, {1, 5}, {1, 7}, 0, CopyOp());
    const int expected[16] = {-1, -1, -1, 3, 4, 2, 3, 4, 2, 3, 4, 2, -1, -1, -1, -1};
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(dst->row(y)[0] == kEmpty ? -1 : dst->row(y)[0] >> 8, expected[y]) << y;
}

TEST(DrawTiled, BadPointsDrawNothing) {
    const std::vector<int> nothing(64, -1);
    EXPECT_EQ(columns({0, 5, 3, 8}, 0, 0, 20, 0, 64), nothing);   // out of order
    EXPECT_EQ(columns({-1, 2, 3, 8}, 0, 0, 20, 0, 64), nothing);  // before the source
    EXPECT_EQ(columns({0, 2, 3, 41}, 0, 0, 20, 0, 64), nothing);  // beyond it
    EXPECT_EQ(columns({0, 2, 3, 81}, 1, 0, 20, 0, 64), nothing);  // beyond it, shifted
    EXPECT_NE(columns({0, 2, 3, 80}, 1, 0, 20, 0, 64), nothing);
    EXPECT_EQ(columns({0, 2, 4, 6}, 0, 0, 0, 0, 64), nothing);   // empty destination
    EXPECT_EQ(columns({0, 2, 4, 6}, 0, 10, 5, 0, 10), nothing);  // outside the clip
}

TEST(DrawTiled, EmptyMiddleReadsOnOnlyInsideTheSource) {
    // No middle: the positions run on from s1 without wrapping, while inside the source...
    EXPECT_EQ(drawn(columns({0, 2, 2, 4}, 0, 0, 7, 0, 64), 0, 7),
              (std::vector<int>{0, 1, 2, 3, 4, 2, 3}));
    // ...and the gap stays untouched where they would leave it.
    EXPECT_EQ(drawn(columns({0, 2, 2, 4}, 0, 0, 7, 0, 64, 4), 0, 7),
              (std::vector<int>{0, 1, -1, -1, -1, 2, 3}));
    // Cut caps leave one middle pixel, read from where the middle would start.
    EXPECT_EQ(drawn(columns({0, 3, 3, 6}, 0, 0, 5, 0, 64), 0, 5),
              (std::vector<int>{0, 1, 3, 4, 5}));
}

// Any clip window shows exactly what the unclipped drawing shows there.
TEST(DrawTiled, ClippedDrawingMatchesTheUnclippedOne) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
        const int shift = pick(0, 2);
        const int s0 = pick(0, 6), s1 = s0 + pick(0, 6), s2 = s1 + pick(1, 6), s3 = s2 + pick(0, 6);
        const int width = ((s3 - 1) >> shift) + 1;
        const int pos = pick(-10, 30), len = pick(1, 50);
        const int lo = pick(0, 40), hi = pick(lo, 64);
        const auto full = columns({s0, s1, s2, s3}, shift, pos, len, 0, 64, width);
        const auto cut = columns({s0, s1, s2, s3}, shift, pos, len, lo, hi, width);
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(cut[x], x >= lo && x < hi ? full[x] : -1)
                << "points " << s0 << " " << s1 << " " << s2 << " " << s3 << " shift " << shift
                << " pos " << pos << " len " << len << " clip " << lo << ".." << hi << " at " << x;
    }
}

}  // namespace
}  // namespace vistrel
