// The folder grid's cells: the device profiles' column rule, large cells on wider screens,
// the steps between their sizes, the cell pictures and the cache that keeps them.

#include <gtest/gtest.h>

#include "render/bitmap.h"
#include "render/picture.h"
#include "screens/cell_pictures.h"
#include "screens/grid_cells.h"

namespace vistrel {
namespace {

TEST(GridCells, DeviceProfilesKeepTheSkinsColumnRule) {
    const SkinCell skin;
    for (const auto& [width, shift, columns] :
         {std::tuple{240, 0, 4}, {480, 1, 4}, {320, 0, 5}, {176, 0, 2}, {800, 0, 6},
          {1600, 1, 6}, {16, 0, 1}, {0, 0, 1}}) {
        const GridCells cells = grid_cells(width, shift, 256, skin);
        EXPECT_FALSE(cells.large) << width;
        EXPECT_EQ(cells.columns, columns) << width;
    }
}

TEST(GridCells, WiderScreensGetLargeCellsThatFillTheWidth) {
    const SkinCell skin{52, 56, 58};
    for (const int size : kCellSizes) {
        for (const auto& [width, shift] : {std::pair{1920, 0}, {801, 0}, {3840, 1}, {7680, 0}}) {
            const GridCells cells = grid_cells(width, shift, size, skin);
            ASSERT_TRUE(cells.large) << width;
            EXPECT_EQ(cells.image, size << shift);
            EXPECT_EQ(cells.button, cells.image + 4);
            EXPECT_EQ(cells.row, cells.button + 2);
            // As many columns as fit, each with its gap.
            const int pitch = cells.button + (2 << shift);
            EXPECT_LE(cells.columns * pitch, width - (8 << shift)) << width;
            EXPECT_GT((cells.columns + 1) * pitch, width - (8 << shift)) << width;
        }
    }
    // A size not offered is taken to the nearest.
    EXPECT_EQ(grid_cells(1920, 0, 150, skin).image, 128);
    EXPECT_EQ(grid_cells(1920, 0, 100000, skin).image, 256);
}

TEST(GridCells, SizesStepWithinTheList) {
    EXPECT_EQ(next_cell_size(128, 1), 192);
    EXPECT_EQ(next_cell_size(192, 1), 256);
    EXPECT_EQ(next_cell_size(256, 1), 256);
    EXPECT_EQ(next_cell_size(256, -1), 192);
    EXPECT_EQ(next_cell_size(128, -1), 128);
    EXPECT_EQ(next_cell_size(-5, 0), 128);
    EXPECT_EQ(next_cell_size(200, 0), 192);
}

std::unique_ptr<Bitmap> filled(Size size, Pixel pixel) {
    std::unique_ptr<Bitmap> bitmap = Bitmap::create(size);
    for (int y = 0; y < size.h; ++y)
        for (int x = 0; x < size.w; ++x)
            bitmap->row(y)[x] = pixel;
    return bitmap;
}

PictureReference whole(std::unique_ptr<Bitmap> bitmap) {
    return PictureReference::whole(PictureHandle(std::make_shared<Picture>(std::move(bitmap), u"")));
}

TEST(CellPictures, TheSquareIsCutLikeTheThumbnailAndFramed) {
    // A landscape level: left third red, middle green, right third blue; the cell shows
    // the middle square.
    std::unique_ptr<Bitmap> level = Bitmap::create(300, 100);
    const Pixel red = to_pixel(255, 0, 0), green = to_pixel(0, 255, 0), blue = to_pixel(0, 0, 255);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 300; ++x)
            level->row(y)[x] = x < 100 ? red : x < 200 ? green : blue;
    // An opaque frame lets the picture through everywhere but at its keyed corner.
    std::unique_ptr<Bitmap> frame = filled({8, 8}, static_cast<Pixel>(kOpaqueFlag));
    frame->row(0)[0] = kColourKey;
    const PictureReference framed_by = stretched_picture(whole(std::move(frame)), {128, 128});
    ASSERT_FALSE(framed_by.empty());
    const PictureReference cell = cell_picture(*level, {128, 128}, framed_by);
    ASSERT_FALSE(cell.empty());
    const Bitmap& out = cell.picture->bitmap();
    ASSERT_EQ(out.size(), (Size{128, 128}));
    EXPECT_EQ(out.row(64)[64] & ~kOpaqueFlag, green & ~kOpaqueFlag);
    EXPECT_EQ(out.row(127)[127] & ~kOpaqueFlag, green & ~kOpaqueFlag);
    // The frame's keyed corner, stretched to 16 x 16, cuts the cell.
    EXPECT_EQ(out.row(3)[3], kColourKey);
    EXPECT_NE(out.row(20)[20], kColourKey);

    // A portrait level is cut from its top.
    std::unique_ptr<Bitmap> portrait = Bitmap::create(100, 300);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 100; ++x)
            portrait->row(y)[x] = y < 100 ? red : blue;
    const PictureReference top = cell_picture(*portrait, {64, 64}, framed_by);
    EXPECT_EQ(top.picture->bitmap().row(60)[32] & ~kOpaqueFlag, red & ~kOpaqueFlag);
    EXPECT_TRUE(cell_picture(*portrait, {}, framed_by).empty());
}

TEST(CellPictures, TheCacheDropsTheLeastRecentlyUsedBeyondItsBudget) {
    const auto picture = [] { return whole(filled({64, 64}, 0)); };
    const size_t one = 64 * 64 * sizeof(Pixel);
    CellPictureCache cache(3 * one + 3 * 64);
    for (int key = 0; key < 3; ++key)
        cache.put(key, picture());
    EXPECT_EQ(cache.count(), 3u);
    ASSERT_NE(cache.find(0), nullptr);  // 0 is now the most recent
    cache.put(3, picture());
    EXPECT_EQ(cache.count(), 3u);
    EXPECT_EQ(cache.find(1), nullptr) << "the least recently used went";
    EXPECT_NE(cache.find(0), nullptr);
    EXPECT_NE(cache.find(3), nullptr);
    EXPECT_LE(cache.bytes(), 3 * one + 3 * 64);
    cache.put(3, picture());  // replaced, not counted twice
    EXPECT_EQ(cache.count(), 3u);
    cache.erase(0);
    EXPECT_EQ(cache.find(0), nullptr);
    cache.set_budget(0);  // the most recent always stays
    EXPECT_EQ(cache.count(), 1u);
    cache.clear();
    EXPECT_EQ(cache.bytes(), 0u);
}

}  // namespace
}  // namespace vistrel
