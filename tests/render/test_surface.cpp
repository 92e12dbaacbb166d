// Bitmaps, surfaces, clip scopes and render surfaces.

#include <gtest/gtest.h>

#include "render/bitmap.h"
#include "render/dib_bitmap.h"
#include "render/pixel_op.h"
#include "render/render_surface.h"
#include "render/span_op.h"
#include "render/surface.h"

namespace vistrel {
namespace {

TEST(Bitmap, PitchRoundsRowsUpToFourBytes) {
    EXPECT_EQ(Bitmap::pitch_for(1), 4);
    EXPECT_EQ(Bitmap::pitch_for(2), 4);
    EXPECT_EQ(Bitmap::pitch_for(3), 8);
    EXPECT_EQ(Bitmap::pitch_for(4), 8);
    EXPECT_EQ(Bitmap::pitch_for(5), 12);
    for (int w : {3, 4, 5}) {
        auto b = Bitmap::create(w, 2);
        ASSERT_TRUE(b);
        EXPECT_EQ(b->pitch(), Bitmap::pitch_for(w));
        EXPECT_TRUE(b->owns_pixels());
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b->row(1)) % 4, 0u);
        EXPECT_EQ(reinterpret_cast<uint8_t*>(b->row(1)) - reinterpret_cast<uint8_t*>(b->row(0)),
                  b->pitch());
    }
}

TEST(Bitmap, ImpossibleSizesGiveNoBitmap) {
    EXPECT_FALSE(Bitmap::create(-1, 5));
    EXPECT_FALSE(Bitmap::create(5, -1));
    EXPECT_FALSE(Bitmap::create(1 << 20, 1 << 20));  // beyond the memory limit
    auto empty = Bitmap::create(0, 0);
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->size(), (Size{0, 0}));
}

TEST(Bitmap, ViewOfForeignPixelsKeepsItsPitch) {
    Pixel memory[3 * 10] = {};
    Bitmap view(memory, 7, 3, 20);
    EXPECT_FALSE(view.owns_pixels());
    EXPECT_EQ(view.row(2), memory + 20);
    Bitmap overlapping(memory, 7, 3, 12);  // rows would overlap: kept empty
    EXPECT_EQ(overlapping.size(), (Size{0, 0}));
}

TEST(DibBitmap, CopiesFromTheInstalledScreenSource) {
    auto dib = DibBitmap::create(4, 2);
    ASSERT_TRUE(dib);
    dib->clear(0x1234);
    EXPECT_FALSE(dib->copy_from_screen());  // no source: black
    EXPECT_EQ(dib->row(1)[3], 0);
    DibBitmap::set_screen_source([](Bitmap& target) {
        target.row(0)[0] = 0xABCD;
        return true;
    });
    EXPECT_TRUE(dib->copy_from_screen());
    EXPECT_EQ(dib->row(0)[0], 0xABCD);
    EXPECT_EQ(dib->row(0)[1], 0);
    DibBitmap::set_screen_source({});
}

TEST(Surface, SetClipClampsToTheBitmapAndCollapsesEmptyClips) {
    auto b = Bitmap::create(100, 50);
    Surface s(b.get());
    EXPECT_EQ(s.clip(), (Rect{0, 0, 100, 50}));
    s.set_clip({-5, 10}, {120, 40});
    EXPECT_EQ(s.clip(), (Rect{0, 10, 100, 40}));
    s.set_clip({200, 300}, {400, 500});
    EXPECT_EQ(s.clip(), (Rect{200, 300, 200, 300}));
    s.set_clip({10, 30}, {20, 30});  // no height
    EXPECT_EQ(s.clip(), (Rect{10, 30, 10, 30}));
    s.set_clip({30, 5}, {20, 40});  // no width
    EXPECT_EQ(s.clip(), (Rect{30, 5, 30, 5}));

    Surface none;
    none.set_clip({1, 1}, {2, 2});
    EXPECT_EQ(none.clip(), (Rect{}));
    none.fill({0, 0}, {10, 10}, Colour{255, 255, 255});  // nothing to draw into
}

TEST(Surface, FillWritesTheConvertedColourInsideTheClipOnly) {
    auto b = Bitmap::create(8, 4);
    b->clear(0);
    Surface s(b.get());
    s.set_clip({1, 1}, {6, 3});
    s.fill({-2, 0}, {5, 10}, Colour{255, 128, 8, 0});
    const Pixel v = 0xF800 | (128 >> 2) << 5 | 1;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(b->row(y)[x], (y >= 1 && y < 3 && x >= 1 && x < 3) ? v : 0) << x << "," << y;

    s.set_clip({300, 300}, {400, 400});
    s.fill({0, 0}, {8, 4}, Colour{255, 255, 255});
    EXPECT_EQ(b->row(0)[0], 0);
}

TEST(ClipScope, IntersectsAndRestoresExactly) {
    auto b = Bitmap::create(100, 100);
    Surface s(b.get());
    s.set_clip({10, 10}, {60, 60});
    {
        ClipScope outer(s, {0, 20}, {30, 100});
        EXPECT_EQ(s.clip(), (Rect{10, 20, 30, 60}));
        EXPECT_EQ(s.clip_depth(), 1);
        {
            ClipScope inner(s, {40, 0}, {5, 5});  // disjoint: collapsed
            EXPECT_TRUE(s.clip().empty());
            EXPECT_EQ(s.clip_depth(), 2);
        }
        EXPECT_EQ(s.clip(), (Rect{10, 20, 30, 60}));
        ClipScope huge(s, {5, 5}, {INT32_MAX, INT32_MAX});  // the end saturates
        EXPECT_EQ(s.clip(), (Rect{10, 20, 30, 60}));
    }
    EXPECT_EQ(s.clip(), (Rect{10, 10, 60, 60}));
    EXPECT_EQ(s.clip_depth(), 0);
}

TEST(RenderSurface, ResizeReleaseAdoptKeepThePixelCounter) {
    const int64_t before = surface_pixel_count();
    {
        RenderSurface empty;
        EXPECT_EQ(empty.size(), (Size{0, 0}));
        EXPECT_EQ(empty.bitmap(), nullptr);
        EXPECT_FALSE(empty.resize({0, 0}));

        RenderSurface r({30, 20});
        EXPECT_EQ(surface_pixel_count(), before + 600);
        EXPECT_EQ(r.clip(), (Rect{0, 0, 30, 20}));
        r.bitmap()->row(3)[4] = 0x1234;
        Bitmap* old = r.bitmap();
        EXPECT_FALSE(r.resize({30, 20}));
        EXPECT_EQ(r.bitmap(), old);
        EXPECT_EQ(r.bitmap()->row(3)[4], 0x1234);

        EXPECT_TRUE(r.resize({10, 5}));
        EXPECT_EQ(surface_pixel_count(), before + 50);
        EXPECT_EQ(r.clip(), (Rect{0, 0, 10, 5}));

        EXPECT_TRUE(r.resize({-1, 5}));  // allocation refused: no bitmap, nothing counted
        EXPECT_EQ(r.bitmap(), nullptr);
        EXPECT_EQ(surface_pixel_count(), before);

        r.resize({8, 8});
        std::unique_ptr<Bitmap> taken = r.release();
        ASSERT_TRUE(taken);
        EXPECT_EQ(taken->size(), (Size{8, 8}));
        EXPECT_EQ(r.bitmap(), nullptr);
        EXPECT_EQ(r.clip(), (Rect{}));
        EXPECT_EQ(surface_pixel_count(), before);

        r.adopt(std::move(taken));
        EXPECT_EQ(r.size(), (Size{8, 8}));
        EXPECT_EQ(r.clip(), (Rect{0, 0, 8, 8}));
        EXPECT_EQ(surface_pixel_count(), before + 64);

        RenderSurface moved(std::move(r));
        EXPECT_EQ(moved.size(), (Size{8, 8}));
        EXPECT_EQ(r.size(), (Size{0, 0}));
        EXPECT_EQ(surface_pixel_count(), before + 64);
        empty = std::move(moved);
        EXPECT_EQ(surface_pixel_count(), before + 64);

        EXPECT_TRUE(empty.resize({0, 0}));  // a zero-sized bitmap is still a bitmap
        EXPECT_NE(empty.bitmap(), nullptr);
        EXPECT_EQ(empty.size(), (Size{0, 0}));
    }
    EXPECT_EQ(surface_pixel_count(), before);
}

TEST(RenderSurface, DrawsItselfToAnotherSurface) {
    RenderSurface r({2, 2});
    r.fill_pixel({0, 0}, {2, 2}, 0x1111);
    r.bitmap()->row(1)[1] = kColourKey;
    auto target = Bitmap::create(4, 4);
    target->clear(0);
    Surface t(target.get());
    r.draw_to(t, {1, 1}, KeyedCopyOp());
    EXPECT_EQ(target->row(1)[1], 0x1111);
    EXPECT_EQ(target->row(2)[2], 0);
    r.draw_scaled_to(t, {0, 0}, {4, 4}, CopyOp());
    EXPECT_EQ(target->row(0)[1], 0x1111);
    EXPECT_EQ(target->row(3)[3], kColourKey);
    RenderSurface none;
    none.draw_to(t, {0, 0}, CopyOp());
}

using RenderSurfaceDeathTest = ::testing::Test;

TEST(RenderSurfaceDeathTest, ReplacingTheBitmapUnderAClipScopeIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto resize = [] {
        RenderSurface r({10, 10});
        ClipScope scope(r, {0, 0}, {5, 5});
        r.resize({20, 20});
    };
    EXPECT_EXIT(resize(), ::testing::ExitedWithCode(1),
                "Gluck: Clip is in effect, cannot resize @ RenderSurface::recreate");
    auto release = [] {
        RenderSurface r({10, 10});
        ClipScope scope(r, {0, 0}, {5, 5});
        (void)r.release();
    };
    EXPECT_EXIT(release(), ::testing::ExitedWithCode(1), "Clip is in effect");
    auto adopt = [] {
        RenderSurface r({10, 10});
        ClipScope scope(r, {0, 0}, {5, 5});
        r.adopt(Bitmap::create(3, 3));
    };
    EXPECT_EXIT(adopt(), ::testing::ExitedWithCode(1), "Clip is in effect");
}

}  // namespace
}  // namespace vistrel
