// Clipping and walking of blit, stretch_blit and apply_spans.

#include <gtest/gtest.h>

#include "render/blit.h"
#include "render/render_surface.h"
#include "test_bitmaps.h"

namespace vistrel {
namespace {

constexpr Pixel kEmpty = test::kUndrawn;
using test::coordinates;

std::unique_ptr<Bitmap> blank(int w, int h) {
    auto b = Bitmap::create(w, h);
    b->clear(kEmpty);
    return b;
}

int count_drawn(const Bitmap& b) {
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            n += b.row(y)[x] != kEmpty;
    return n;
}

TEST(Blit, SourceRectangleOutsideTheSourceDrawsNothing) {
    auto src = coordinates(10, 10);
    auto dst = blank(20, 20);
    const Rect clip{0, 0, 20, 20};
    blit(*dst, {0, 0}, {5, 5}, *src, {-1, 0}, clip, CopyOp());
    blit(*dst, {0, 0}, {5, 5}, *src, {0, -1}, clip, CopyOp());
    blit(*dst, {0, 0}, {11, 5}, *src, {0, 0}, clip, CopyOp());
    blit(*dst, {0, 0}, {5, 5}, *src, {6, 0}, clip, CopyOp());
    blit(*dst, {0, 0}, {5, 6}, *src, {0, 5}, clip, CopyOp());
    blit(*dst, {0, 0}, {0, 5}, *src, {0, 0}, clip, CopyOp());
    blit(*dst, {0, 0}, {5, INT32_MAX}, *src, {0, 5}, clip, CopyOp());
    EXPECT_EQ(count_drawn(*dst), 0);
    blit(*dst, {0, 0}, {10, 10}, *src, {0, 0}, clip, CopyOp());
    EXPECT_EQ(count_drawn(*dst), 100);
}

TEST(Blit, CutsAtTheClipAndAdvancesTheSource) {
    auto src = coordinates(10, 10);
    auto dst = blank(20, 20);
    blit(*dst, {-3, -2}, {10, 10}, *src, {0, 0}, Rect{0, 0, 100, 100}, CopyOp());
    EXPECT_EQ(count_drawn(*dst), 7 * 8);
    EXPECT_EQ(dst->row(0)[0], (2 << 8 | 3));
    EXPECT_EQ(dst->row(7)[6], (9 << 8 | 9));
    EXPECT_EQ(dst->row(8)[0], kEmpty);

    auto dst2 = blank(20, 20);
    Surface s(dst2.get());
    s.set_clip({5, 4}, {8, 6});
    blit(s, {3, 3}, {10, 10}, *src, {0, 0}, CopyOp());
    EXPECT_EQ(count_drawn(*dst2), 3 * 2);
    EXPECT_EQ(dst2->row(4)[5], (1 << 8 | 2));
    EXPECT_EQ(dst2->row(5)[7], (2 << 8 | 4));

    auto dst3 = blank(20, 20);
    blit(*dst3, {INT32_MIN, INT32_MIN}, {10, 10}, *src, {0, 0}, Rect{0, 0, 20, 20}, CopyOp());
    blit(*dst3, {INT32_MAX, 0}, {10, 10}, *src, {0, 0}, Rect{0, 0, 20, 20}, CopyOp());
    blit(*dst3, {15, 15}, {10, 10}, *src, {0, 0}, Rect{-50, -50, 500, 500}, CopyOp());
    EXPECT_EQ(count_drawn(*dst3), 25);  // only the clip held inside the bitmap
}

TEST(Blit, OverlappingCopyWithinOneBitmap) {
    auto b = coordinates(8, 1);
    blit(*b, {2, 0}, {6, 1}, *b, {0, 0}, Rect{0, 0, 8, 1}, CopyOp());
    for (int x = 2; x < 8; ++x)
        EXPECT_EQ(b->row(0)[x], x - 2);
}

TEST(StretchBlit, SamplesNearestPixelsWithTenFractionBits) {
    auto src = coordinates(3, 2);
    auto dst = blank(7, 4);
    stretch_blit(*dst, {0, 0}, {7, 4}, *src, {0, 0}, {3, 2}, Rect{0, 0, 7, 4}, CopyOp());
    const int columns[7] = {0, 0, 0, 1, 1, 2, 2};
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(dst->row(y)[x], (y / 2) << 8 | columns[x]);
}

TEST(StretchBlit, ClippingStartsInsideTheSourceStep) {
    auto src = coordinates(4, 4);
    auto dst = blank(8, 8);
    Surface s(dst.get());
    s.set_clip({3, 5}, {6, 8});
    stretch_blit(s, {0, 0}, {8, 8}, *src, {0, 0}, {4, 4}, CopyOp());
    EXPECT_EQ(count_drawn(*dst), 3 * 3);
    EXPECT_EQ(dst->row(5)[3], (2 << 8 | 1));
    EXPECT_EQ(dst->row(7)[5], (3 << 8 | 2));

    auto dst2 = blank(8, 8);
    stretch_blit(*dst2, {-5, -7}, {10, 10}, *src, {1, 1}, {3, 3}, Rect{0, 0, 8, 8}, CopyOp());
    // Step 307; column 0 is step 5 of 10: (1024 + 5 * 307) >> 10 = 2; row 0 is step 7: 3.
    EXPECT_EQ(dst2->row(0)[0], (3 << 8 | 2));
    EXPECT_EQ(dst2->row(2)[4], (3 << 8 | 3));
    EXPECT_EQ(dst2->row(3)[0], kEmpty);  // the 10 rows end at destination row 3
    EXPECT_EQ(count_drawn(*dst2), 5 * 3);
}

TEST(StretchBlit, RefusesEmptyOrOutsideSources) {
    auto src = coordinates(4, 4);
    auto dst = blank(8, 8);
    const Rect clip{0, 0, 8, 8};
    stretch_blit(*dst, {0, 0}, {8, 8}, *src, {4, 0}, {0, 4}, clip, CopyOp());
    stretch_blit(*dst, {0, 0}, {8, 8}, *src, {0, 0}, {5, 4}, clip, CopyOp());
    stretch_blit(*dst, {0, 0}, {8, 8}, *src, {-1, 0}, {2, 2}, clip, CopyOp());
    stretch_blit(*dst, {0, 0}, {0, 8}, *src, {0, 0}, {4, 4}, clip, CopyOp());
    stretch_blit(*dst, {0, 0}, {8, -1}, *src, {0, 0}, {4, 4}, clip, CopyOp());
    EXPECT_EQ(count_drawn(*dst), 0);
}

TEST(ApplySpans, CutsToTheClip) {
    auto dst = blank(10, 10);
    apply_spans(*dst, {-5, 8}, {8, 8}, Rect{0, 0, 10, 10}, FillSpan(0));
    EXPECT_EQ(count_drawn(*dst), 3 * 2);
    EXPECT_EQ(dst->row(9)[2], 0);
    apply_spans(*dst, {0, 0}, {-1, 5}, Rect{0, 0, 10, 10}, FillSpan(0));
    apply_spans(*dst, {0, 0}, {10, 10}, Rect{4, 4, 4, 4}, FillSpan(0));
    EXPECT_EQ(count_drawn(*dst), 6);
}

}  // namespace
}  // namespace vistrel
