#include <gtest/gtest.h>

#include <filesystem>

#include "jpeg_samples.h"
#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "screens/tile_renderer.h"
#include "screens/zoom_image.h"
#include "skin_test_support.h"
#include "support/test_support.h"
#include "ui/container.h"

namespace vistrel {
namespace {

using test::TempDir;

struct TileRendererTest : ::testing::Test {
    TempDir dir;
    Container root;
    ZoomImage* views[3] = {new ZoomImage(&root), new ZoomImage(&root), new ZoomImage(&root)};
    TileRenderer tiles;
    RenderSurface screen{Size{240, 320}};

    void SetUp() override {
        root.set_x_extent(0, 240);
        root.set_y_extent(0, 320);
        for (int i = 0; i < 3; ++i) tiles.bind(i, views[i]);
    }
    std::u16string picture(const std::string& name, Size size, bool cached) {
        test::JpegOptions options;
        options.width = size.w;
        options.height = size.h;
        options.smooth = true;
        const std::string file = dir.file(name);
        test::write_bytes(file, test::make_jpeg(options));
        const std::u16string path = from_utf8(file);
        if (cached) {
            EXPECT_TRUE(build_cache_file(path, dir.u16(), [] { return false; }));
        }
        return path;
    }
    void show(int slot, const std::u16string& path) {
        tiles.reset(slot, path, dir.u16());
        tiles.restart(slot, {240, 320});
    }
    void draw(int slot) { views[slot]->draw(screen, {0, 0}); }
    // Flips `mask` in the byte at `at` within the JPEG of cache level `level` of `path`
    // (which has `levels` halvings); returns the cache file's path.
    std::string damage_level(const std::u16string& path, int levels, int level, size_t at,
                             uint8_t mask) {
        const std::string cache = to_utf8(cache_file_name(path, dir.u16()));
        std::vector<uint8_t> bytes = test::read_bytes(cache);
        CacheHeader header;
        MemoryStream stream(bytes);
        EXPECT_TRUE(header.read(stream, bytes.size()));
        EXPECT_EQ(header.level_count(), levels);
        if (header.level_count() < level) return cache;
        bytes[header.levels[level].jpeg_offset + at] ^= mask;
        test::write_bytes(cache, bytes);
        return cache;
    }
    // Lets the worker make every queued tile and hands them over.
    void finish() {
        for (int i = 0; i < 2000 && !tiles.idle(); ++i) {
            tiles.hand_over();
            sleep_ms(1);
        }
        while (tiles.hand_over()) {
        }
    }
};

TEST_F(TileRendererTest, TheSameTileQueuedTwiceLeavesOneRequest) {
    show(1, picture("a.jpg", {1000, 700}, true));
    views[1]->set_zoom(0);
    draw(1);
    ASSERT_EQ(tiles.queued(), 1u);
    tiles.request_tile(*views[1], 0, 0, 0);
    EXPECT_EQ(tiles.queued(), 1u);
}

TEST_F(TileRendererTest, RequestsNoLongerWantedArePrunedExceptTheFirst) {
    show(1, picture("a.jpg", {2000, 1500}, true));
    views[1]->set_zoom(3);
    draw(1);
    const size_t first = tiles.queued();
    ASSERT_GT(first, 2u);
    // Scrolled away: the cache forgets those tiles; the next request prunes them.
    views[1]->release_tiles();
    views[1]->set_center(1900, 1400);
    draw(1);
    size_t now = tiles.queued();
    EXPECT_LT(now, first + 4);
    EXPECT_GE(now, 2u);
    // A slot given another picture drops its requests at once.
    show(1, picture("b.jpg", {300, 200}, true));
    EXPECT_LE(tiles.queued(), 1u);
}

TEST_F(TileRendererTest, TheWorkerMakesTheTilesAndHandsThemOver) {
    show(1, picture("a.jpg", {1000, 700}, true));
    EXPECT_EQ(tiles.state(1), SlotState::Ready);
    EXPECT_FALSE(tiles.direct(1));
    EXPECT_EQ(tiles.picture_size(1), (Size{1000, 700}));
    tiles.start();
    EXPECT_TRUE(tiles.worker_running());
    draw(1);
    finish();
    draw(1);
    EXPECT_TRUE(views[1]->screen_complete());
    EXPECT_EQ(tiles.queued(), 0u);
    EXPECT_TRUE(tiles.idle());
    tiles.stop();
    EXPECT_FALSE(tiles.worker_running());
}

TEST_F(TileRendererTest, ALevelFoundDamagedIsShownAsWhileItsCacheFileIsBuilt) {
    const std::u16string path = picture("a.jpg", {1000, 700}, true);
    // One bit of the smallest level, which zoom level 0 shows.
    const std::string cache = damage_level(path, 2, 2, 700, 0x10);
    std::vector<std::u16string> prioritized;
    tiles.set_prioritizer([&](const std::u16string& p) { prioritized.push_back(p); });

    show(1, path);
    EXPECT_EQ(tiles.state(1), SlotState::Ready);  // the header is intact
    views[1]->set_zoom(0);
    tiles.start();
    draw(1);
    finish();
    EXPECT_EQ(tiles.state(1), SlotState::Loading);
    EXPECT_TRUE(tiles.direct(1));
    EXPECT_EQ(prioritized, std::vector<std::u16string>{path});
    EXPECT_FALSE(std::filesystem::exists(cache));
    // The tiles come from the picture itself meanwhile.
    draw(1);
    finish();
    draw(1);
    EXPECT_TRUE(views[1]->screen_complete());
    tiles.stop();
}

TEST_F(TileRendererTest, AVersionFoundDamagedWhenSentIsBuiltAgain) {
    const std::u16string path = picture("a.jpg", {1000, 700}, true);
    damage_level(path, 2, 1, 50, 0x01);
    std::vector<std::u16string> prioritized;
    tiles.set_prioritizer([&](const std::u16string& p) { prioritized.push_back(p); });
    show(1, path);
    EXPECT_FALSE(tiles.save_version(1, from_utf8(dir.file("sent.jpg")), 1));
    EXPECT_FALSE(std::filesystem::exists(dir.file("sent.jpg")));
    tiles.hand_over();
    EXPECT_EQ(tiles.state(1), SlotState::Loading);
    EXPECT_EQ(prioritized, std::vector<std::u16string>{path});
}

TEST_F(TileRendererTest, SlotsTakeTheStateOfTheirCacheFile) {
    const std::u16string fresh = picture("fresh.jpg", {600, 400}, false);
    std::vector<std::u16string> prioritized;
    tiles.set_prioritizer([&](const std::u16string& p) { prioritized.push_back(p); });
    show(0, fresh);
    EXPECT_EQ(tiles.state(0), SlotState::Loading);
    EXPECT_TRUE(tiles.direct(0));
    EXPECT_EQ(prioritized, std::vector<std::u16string>{fresh});

    // A damaged cache file: it is removed and the picture read directly until it is built
    // again.
    const std::u16string damaged = picture("damaged.jpg", {600, 400}, true);
    const std::u16string cache = cache_file_name(damaged, dir.u16());
    std::filesystem::resize_file(to_utf8(cache), 30);
    show(1, damaged);
    EXPECT_EQ(tiles.state(1), SlotState::Loading);
    EXPECT_TRUE(tiles.direct(1));
    EXPECT_TRUE(views[1]->has_picture());
    EXPECT_EQ(prioritized, (std::vector<std::u16string>{fresh, damaged}));
    EXPECT_FALSE(std::filesystem::exists(to_utf8(cache)));

    // The failure marker and an undecodable picture: the "bad" placeholder.
    const std::string junk = dir.file("junk.jpg");
    test::write_file(junk, "not a picture at all");
    const std::u16string junk_path = from_utf8(junk);
    test::write_file(to_utf8(cache_file_name(junk_path, dir.u16())), "");
    test::write_picture(dir.file("skin"), 64, 64, 0x1111);
    std::filesystem::rename(dir.file("skin.bmp"), dir.file("skin.bad.bmp"));
    tiles.set_placeholder_prefix(from_utf8(dir.file("skin")));
    show(2, junk_path);
    EXPECT_EQ(tiles.state(2), SlotState::Bad);
    EXPECT_FALSE(tiles.direct(2));
    EXPECT_EQ(views[2]->tile_size(), (Size{64, 64}));
    tiles.start();
    draw(2);
    finish();
    screen.fill_pixel({0, 0}, {240, 320}, 0);
    draw(2);
    EXPECT_EQ(screen.bitmap()->row(100)[100], 0x1111);
}

TEST_F(TileRendererTest, LandscapeTurnsTheTilesTheWorkerMakes) {
    auto tile = test::filled_bitmap(4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) tile->row(y)[x] = static_cast<Pixel>(y * 4 + x);
    rotate_tile_clockwise(*tile);
    // The first row becomes the last column.
    for (int i = 0; i < 4; ++i) EXPECT_EQ(tile->row(i)[3], i);
    EXPECT_EQ(tile->row(0)[0], 12);

    tiles.set_landscape(true);
    show(1, picture("wide.jpg", {512, 256}, true));
    EXPECT_TRUE(views[1]->turned());
    tiles.start();
    draw(1);
    finish();
    draw(1);
    EXPECT_TRUE(views[1]->screen_complete());
}

}  // namespace
}  // namespace vistrel
