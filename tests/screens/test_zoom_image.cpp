#include <gtest/gtest.h>

#include <cmath>

#include "render/pixel_op.h"
#include "screens/tile_renderer.h"
#include "screens/zoom_image.h"
#include "ui/container.h"

namespace vistrel {
namespace {

// Records requests and can answer them with tiles of one colour per level.
struct Sink : TileSink {
    std::vector<std::array<int, 3>> asked;
    void request_tile(ZoomImage&, int level, int column, int row) override {
        asked.push_back({level, column, row});
    }
};

RenderSurface tile_of(Pixel value) {
    RenderSurface surface({256, 256});
    surface.fill_pixel({0, 0}, {256, 256}, value);
    return surface;
}

struct ZoomImageTest : ::testing::Test {
    Container root;
    ZoomImage* view = new ZoomImage(&root);  // owned by root
    Sink sink;
    RenderSurface screen{Size{240, 320}};

    void SetUp() override {
        root.set_x_extent(0, 240);
        root.set_y_extent(0, 320);
        view->set_sink(&sink);
    }
    void draw() { view->draw(screen, {0, 0}); }
    Pixel at(int x, int y) { return screen.bitmap()->row(y)[x]; }
};

TEST_F(ZoomImageTest, TheGridOfAPictureFollowsItsSize) {
    view->set_up({256, 256}, {1000, 700}, 10, false);
    EXPECT_EQ(view->columns(), 4);
    EXPECT_EQ(view->rows(), 3);
    EXPECT_EQ(view->max_level(), 2);
    EXPECT_EQ(view->fit_level(), 0);
    // The cache holds the tiles that fill the element and three more rows and columns.
    EXPECT_EQ(view->capacity(), (320 * 1414 / 256000 + 3) * (240 * 1414 / 256000 + 3));
    // At the fit zoom the whole picture is inside the element and touches two sides.
    EXPECT_NEAR(view->fit_zoom(), 2 + std::log2(240.0 / 1000), 1e-9);
    const Rect r = view->picture_rect();
    EXPECT_GE(r.left, 0);
    EXPECT_LE(r.right, 240);
    EXPECT_NEAR(r.right - r.left, 240, 2);

    view->set_up({256, 256}, {2048, 1536}, 3, false);
    EXPECT_EQ(view->max_level(), 3);
    root.set_x_extent(0, 600);
    root.set_y_extent(0, 600);
    EXPECT_EQ(view->fit_level(), 1);
}

TEST_F(ZoomImageTest, DrawingAsksForTheTilesOnScreenOnceAndAcceptsThem) {
    view->set_up({256, 256}, {1000, 700}, 2, false);
    view->set_zoom(0);  // level 0: one tile
    draw();
    ASSERT_EQ(sink.asked.size(), 1u);
    EXPECT_EQ(sink.asked[0], (std::array<int, 3>{0, 0, 0}));
    int64_t priority = -1;
    EXPECT_TRUE(view->is_tile_wanted(0, 0, 0, priority));
    EXPECT_GE(priority, 0);
    EXPECT_FALSE(view->is_tile_wanted(1, 0, 0, priority));
    EXPECT_FALSE(view->screen_complete());
    draw();
    EXPECT_EQ(sink.asked.size(), 1u);  // requested already

    view->accept_tile(0, 0, 0, tile_of(0x1234));
    EXPECT_FALSE(view->is_tile_wanted(0, 0, 0, priority));
    draw();
    EXPECT_TRUE(view->screen_complete());
    const Rect r = view->picture_rect();
    EXPECT_EQ(at((r.left + r.right) / 2, (r.top + r.bottom) / 2), 0x1234);
    // A tile nobody asked for is dropped.
    view->accept_tile(2, 3, 2, tile_of(0x4321));
    EXPECT_EQ(view->ready_tiles(), 1);
}

TEST_F(ZoomImageTest, MissingTilesAreFilledFromACoarserReadyLevel) {
    view->set_up({256, 256}, {1000, 700}, 2, false);
    view->set_zoom(0);
    draw();
    view->accept_tile(0, 0, 0, tile_of(0x07E0));
    view->set_zoom(2);  // full size: the centre tiles are not there yet
    draw();
    EXPECT_FALSE(view->screen_complete());
    for (int y = 40; y < 300; y += 37)
        for (int x = 5; x < 240; x += 29) EXPECT_EQ(at(x, y), 0x07E0) << x << "," << y;
}

TEST_F(ZoomImageTest, TheCacheNeverHoldsMoreThanItsCapacity) {
    view->set_up({256, 256}, {8000, 6000}, 5, false);
    view->set_zoom(5);
    for (int step = 0; step < 40; ++step) {
        view->set_center(200.0 * step, 150.0 * step);
        draw();
        EXPECT_LE(view->cached_tiles(), view->capacity());
    }
    EXPECT_GT(sink.asked.size(), static_cast<size_t>(view->capacity()));

    // Even with the tiles drawn at their smallest the cache holds all those on screen.
    struct Instant : TileSink {
        void request_tile(ZoomImage& v, int level, int column, int row) override {
            v.accept_tile(level, column, row, tile_of(0x0F0F));
        }
    } instant;
    view->set_sink(&instant);
    view->set_zoom(4.49);
    view->release_tiles();
    draw();
    EXPECT_TRUE(view->screen_complete());
}

TEST_F(ZoomImageTest, TurnedPicturesLayTheirTilesOutTurned) {
    // A 512 x 256 picture turned clockwise is 256 wide and 512 high: stored tile (1, 0)
    // (the right half) comes below stored tile (0, 0).
    root.set_x_extent(0, 256);
    root.set_y_extent(0, 512);
    view->set_up({256, 256}, {512, 256}, 1, true);
    view->set_zoom(1);
    draw();
    view->accept_tile(1, 0, 0, tile_of(0x001F));
    view->accept_tile(1, 1, 0, tile_of(0xF800));
    RenderSurface big{Size{256, 512}};
    view->draw(big, {0, 0});
    EXPECT_EQ(big.bitmap()->row(100)[128], 0x001F);
    EXPECT_EQ(big.bitmap()->row(400)[128], 0xF800);
}

TEST_F(ZoomImageTest, ZoomMovesTowardsItsTargetKeepingTheAnchor) {
    view->set_up({256, 256}, {1000, 700}, 2, false);
    const double fit = view->zoom();
    view->zoom_to(2, {60, 160});
    const double x_before = view->center(0) + (60 - 120) / std::exp2(fit - 2);
    int steps = 0;
    while (view->moving() && steps++ < 100) view->animate(0.04);
    EXPECT_DOUBLE_EQ(view->zoom(), 2);
    EXPECT_LT(steps, 100);
    // The picture point under the anchor stayed there (within the bounds).
    EXPECT_NEAR(view->center(0) + (60 - 120), x_before, 1.0);
}

TEST_F(ZoomImageTest, APanPastTheEdgeSpringsBack) {
    view->set_up({256, 256}, {1000, 700}, 2, false);
    view->set_active(true);
    view->set_zoom(2);
    view->set_center(130, 350);
    root.on_pointer_button({120, 160, 0, true});
    root.on_pointer_move({220, 160, 50});
    EXPECT_TRUE(view->pressed());
    EXPECT_NEAR(view->center(0), 30, 1e-9);  // 1:1 at full size, past the left edge
    EXPECT_NEAR(view->overscroll(0), -90, 1e-9);
    root.on_pointer_button({220, 160, 50, false});
    for (int i = 0; i < 200; ++i) view->animate(0.04);
    EXPECT_FALSE(view->moving());
    EXPECT_EQ(view->overscroll(0), 0);
    EXPECT_NEAR(view->center(0), 120, 1e-9);
}

}  // namespace
}  // namespace vistrel
