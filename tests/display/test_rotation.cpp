#include <gtest/gtest.h>

#include "display/remap.h"
#include "display/rotate.h"

namespace vistrel {
namespace {

std::unique_ptr<Bitmap> pattern(int w, int h, uint16_t seed) {
    auto b = Bitmap::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b->row(y)[x] = static_cast<Pixel>(seed + x * 131 + y * 977);
    return b;
}

bool same(const Bitmap& a, const Bitmap& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.row(y)[x] != b.row(y)[x]) return false;
    return true;
}

TEST(Rotation, TurnsMapCornersClockwise) {
    // A 3 x 2 picture: its top-left pixel goes to the top-right after one turn.
    auto src = pattern(3, 2, 1);
    for (int turn = 0; turn < 4; ++turn) {
        const Size size = turned_size(src->size(), turn);
        auto dst = Bitmap::create(size);
        rotate_copy_reference(*src, {0, 0, 3, 2}, *dst, turn);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const Point p = turn_point({x, y}, src->size(), turn);
                EXPECT_EQ(dst->row(p.y)[p.x], src->row(y)[x]) << turn << " " << x << "," << y;
            }
    }
    EXPECT_EQ(turn_point({0, 0}, {3, 2}, 1), (Point{1, 0}));
    EXPECT_EQ(turn_point({0, 0}, {3, 2}, 2), (Point{2, 1}));
    EXPECT_EQ(turn_point({0, 0}, {3, 2}, 3), (Point{0, 2}));
}

TEST(Rotation, BlockCopyMatchesReferenceForEveryTurnAndSize) {
    const Size sizes[] = {{1, 1}, {7, 5}, {8, 8}, {16, 16}, {37, 23}, {64, 48}, {240, 320}};
    for (const Size s : sizes) {
        auto src = pattern(s.w, s.h, 7);
        for (int turn = 0; turn < 4; ++turn) {
            const Size d = turned_size(s, turn);
            auto fast = Bitmap::create(d);
            auto slow = Bitmap::create(d);
            fast->clear(0x1234);
            slow->clear(0x1234);
            rotate_copy(*src, {0, 0, s.w, s.h}, *fast, turn);
            rotate_copy_reference(*src, {0, 0, s.w, s.h}, *slow, turn);
            EXPECT_TRUE(same(*fast, *slow)) << s.w << "x" << s.h << " turn " << turn;
            // A part only touches its own turned rectangle.
            const Rect part{s.w / 3, s.h / 4, s.w - s.w / 5, s.h - s.h / 3};
            fast->clear(0x4321);
            slow->clear(0x4321);
            rotate_copy(*src, part, *fast, turn);
            rotate_copy_reference(*src, part, *slow, turn);
            EXPECT_TRUE(same(*fast, *slow)) << "part of " << s.w << "x" << s.h << " turn " << turn;
        }
    }
}

TEST(Rotation, RefusesTooSmallTargetsAndClipsRectangles) {
    auto src = pattern(20, 10, 3);
    auto small = Bitmap::create(9, 19);
    small->clear(0);
    rotate_copy(*src, {0, 0, 20, 10}, *small, 1);
    EXPECT_EQ(small->row(0)[0], 0);
    auto dst = Bitmap::create(20, 10);
    dst->clear(0);
    rotate_copy(*src, {-50, -50, 500, 500}, *dst, 0);
    EXPECT_TRUE(same(*src, *dst));
}

TEST(Remap, ArrowKeysAndPointsFollowTheTurn) {
    EXPECT_EQ(remap_arrow_key(37, 1), 38u);
    EXPECT_EQ(remap_arrow_key(40, 1), 37u);
    EXPECT_EQ(remap_arrow_key(39, 2), 37u);
    EXPECT_EQ(remap_arrow_key(38, 3), 37u);
    EXPECT_EQ(remap_arrow_key(13, 1), 13u);
    EXPECT_EQ(remap_point({0, 0}, 1, 240, 320), (Point{239, 0}));
    EXPECT_EQ(remap_point({5, 7}, 2, 240, 320), (Point{234, 312}));
    EXPECT_EQ(remap_point({5, 7}, 3, 240, 320), (Point{7, 314}));
    EXPECT_EQ(remap_point({5, 7}, 0, 240, 320), (Point{5, 7}));
    // The pointer remap undoes the picture's turn: a point of the turned picture comes
    // back to the pixel drawn there.
    const Size frame{320, 240};
    for (int r = 1; r < 4; ++r) {
        const int turn = (4 - r) & 3;
        const Point drawn{17, 29};
        const Point on_screen = turn_point(drawn, frame, turn);
        EXPECT_EQ(remap_point(on_screen, r, frame.w, frame.h), drawn) << r;
    }
}

}  // namespace
}  // namespace vistrel
