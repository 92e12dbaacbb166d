#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "platform/text.h"
#include "render/bmp_file.h"
#include "ui/old_text.h"
#include "ui_test_support.h"
#include "viewer_test_support.h"

namespace vistrel {
namespace {

using test::ViewerTest;

std::u16string number_text(ImageViewer& viewer) {
    auto* number = dynamic_cast<Button*>(viewer.find_child(u"btnNumText"));
    return number ? number->text() : u"";
}

TEST_F(ViewerTest, AnOpenedPictureFillsTheScreenAsTheScaledPicture) {
    make_pictures(3, {960, 640});
    open(1);
    EXPECT_EQ(app->top_screen(), viewer.get());
    // The position and the count, also apart for a skin that lays them out itself.
    EXPECT_EQ(number_text(*viewer), u"2 3");
    auto text_of = [&](const char16_t* id) {
        auto* text = dynamic_cast<OldTextElement*>(viewer->find_child(id));
        return text ? text->text() : u"?";
    };
    EXPECT_EQ(text_of(u"#index"), u"2");
    EXPECT_EQ(text_of(u"#count"), u"3");
    settle();
    const Rect r = viewer->current_view()->picture_rect();
    EXPECT_EQ(r, (Rect{0, 80, 240, 240}));
    const test::DecodedPicture scaled = test::decode_jpeg(picture_bytes(1), 4);
    ASSERT_TRUE(scaled.ok);
    ASSERT_EQ(scaled.width, 240);
    EXPECT_GE(test::psnr(screen_rgb(r), test::crop_rgb(scaled, {0, 0, 240, 160})), 25.0);
}

TEST_F(ViewerTest, ZoomToFullSizeShowsThePicturesOwnPixels) {
    make_pictures(1, {960, 640});
    open(0);
    settle();
    ZoomImage& view = *viewer->current_view();
    EXPECT_FALSE(viewer->find_child(u"btnMinus")->enabled());
    while (view.target_zoom() < view.max_level()) {
        viewer->zoom_step(1);
        settle();
    }
    EXPECT_DOUBLE_EQ(view.zoom(), view.max_level());
    EXPECT_TRUE(viewer->find_child(u"btnMinus")->enabled());
    EXPECT_FALSE(viewer->find_child(u"btnPlus")->enabled());
    // The picture's centre (480, 320) is at the screen's centre (120, 160).
    const test::DecodedPicture full = test::decode_jpeg(picture_bytes(0), 1);
    const Rect shown{0, 40, 240, 300};
    EXPECT_GE(test::psnr(screen_rgb(shown), test::crop_rgb(full, {360, 200, 600, 460})), 30.0);
    // And back to the fit zoom.
    while (view.target_zoom() > view.fit_zoom() + 1e-9) {
        viewer->zoom_step(-1);
        settle();
    }
    EXPECT_NEAR(view.zoom(), view.fit_zoom(), 1e-9);
}

TEST_F(ViewerTest, NeighboursByKeyStopAtTheEnds) {
    make_pictures(3, {400, 300});
    open(0);
    key(key::Left);
    EXPECT_FALSE(viewer->scrolling());
    key(key::Right);
    EXPECT_TRUE(viewer->scrolling());
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 1);
    EXPECT_EQ(number_text(*viewer), u"2 3");
    key(key::Right);
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 2);
    key(key::Right);
    EXPECT_FALSE(viewer->scrolling());
    settle();
    // The neighbours are ready beside the current picture.
    EXPECT_TRUE(viewer->tiles().view(0)->has_picture());
    EXPECT_FALSE(viewer->tiles().view(2)->has_picture());
    EXPECT_EQ(viewer->tiles().picture(0), pictures[1]);
    key(key::Left);
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 1);
}

TEST_F(ViewerTest, ALongDragScrollsToTheNeighbourAShortOneSpringsBack) {
    make_pictures(3, {400, 300});
    open(1);
    settle();
    drag({200, 160}, {150, 160});
    settle();
    EXPECT_EQ(viewer->index(), 1);
    EXPECT_EQ(viewer->current_view()->overscroll(0), 0);
    drag({230, 160}, {20, 160});
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 2);
    drag({10, 160}, {230, 160});
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 1);
}

TEST_F(ViewerTest, ASlideShowEndsAtTheLastPicture) {
    make_pictures(3, {400, 300});
    open(1);
    viewer->set_slide_show(true);
    EXPECT_EQ(viewer->slide_show_box()->state(), 1);
    frames(76);  // 3.04 s
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 2);
    EXPECT_TRUE(viewer->is_open());
    frames(76);
    EXPECT_FALSE(viewer->is_open());
    EXPECT_EQ(app->top_screen(), &folder);
    EXPECT_EQ(viewer->slide_show_box()->state(), 0);
}

TEST_F(ViewerTest, TheViewerSaysWhenItNextChangesAndNothingWhileItMoves) {
    make_pictures(3, {400, 300});
    open(0);
    settle();
    // Still: the next look at the folder at the latest.
    std::optional<double> due = viewer->seconds_to_change();
    ASSERT_TRUE(due);
    EXPECT_GT(*due, 0);
    EXPECT_LE(*due, 0.5 + 1e-9);
    viewer->set_slide_show(true);
    frames(70);  // 2.8 s of the 3 a slide stays
    due = viewer->seconds_to_change();
    ASSERT_TRUE(due);
    EXPECT_GT(*due, 0);
    EXPECT_LE(*due, 0.2 + 1e-6);
    frames(6);
    ASSERT_TRUE(viewer->scrolling());
    EXPECT_EQ(viewer->seconds_to_change(), 0.0);
    scroll_to_end();
    settle();
    EXPECT_EQ(viewer->index(), 1);
    due = viewer->seconds_to_change();
    ASSERT_TRUE(due);
    EXPECT_GT(*due, 0);
}

TEST_F(ViewerTest, AKeyStopsTheSlideShow) {
    make_pictures(3, {400, 300});
    open(0);
    viewer->set_slide_show(true);
    key(key::Up);
    EXPECT_FALSE(viewer->slide_show());
    frames(100);
    EXPECT_EQ(viewer->index(), 0);
}

TEST_F(ViewerTest, LandscapeDisablesItsCheckBoxUntilTheTilesAreDone) {
    make_pictures(2, {600, 400});
    open(0);
    settle();
    viewer->set_landscape(true);
    EXPECT_FALSE(viewer->landscape_box()->enabled());
    EXPECT_TRUE(viewer->current_view()->turned());
    settle();
    EXPECT_TRUE(viewer->landscape_box()->enabled());
    EXPECT_TRUE(viewer->current_view()->screen_complete());
    // In landscape mode "Down" shows the next picture.
    key(key::Down);
    scroll_to_end();
    EXPECT_EQ(viewer->index(), 1);
}

TEST_F(ViewerTest, DeletingTheLastPictureShowsTheOneBefore) {
    make_pictures(3, {400, 300});
    open(2);
    settle();
    const std::u16string cache = cache_file_name(pictures[2], dir.u16());
    ASSERT_TRUE(viewer->delete_current());
    EXPECT_FALSE(std::filesystem::exists(picture_files[2]));
    EXPECT_FALSE(std::filesystem::exists(to_utf8(cache)));
    EXPECT_EQ(viewer->index(), 1);
    EXPECT_EQ(viewer->pictures().size(), 2u);
    EXPECT_EQ(viewer->tiles().picture(1), pictures[1]);
    EXPECT_EQ(number_text(*viewer), u"2 2");
    settle();
    EXPECT_TRUE(viewer->current_view()->screen_complete());
    // Any other picture makes way for the one after it.
    viewer->open(pictures, 0, dir.u16());
    ASSERT_TRUE(viewer->delete_current());
    EXPECT_EQ(viewer->index(), 0);
    EXPECT_EQ(viewer->tiles().picture(1), pictures[1]);
}

TEST_F(ViewerTest, DeletingTheOnlyPictureClosesTheViewer) {
    make_pictures(1, {400, 300});
    struct Listener : LibraryListener {
        LibraryEvent last;
        void on_library_event(const LibraryEvent& event) override { last = event; }
    } listener;
    library->add_listener(&listener);
    open(0);
    ASSERT_TRUE(viewer->delete_current());
    EXPECT_FALSE(viewer->is_open());
    EXPECT_EQ(app->top_screen(), &folder);
    EXPECT_TRUE(listener.last.folder_emptied);
    EXPECT_EQ(listener.last.path, pictures[0]);
    library->remove_listener(&listener);
}

TEST_F(ViewerTest, ControlsHideAfterFourSecondsAndComeBackWithATap) {
    make_pictures(1, {400, 300});
    open(0);
    Element* bar = viewer->find_child(u"bar");
    frames(95);
    EXPECT_TRUE(bar->visible());
    frames(10);
    EXPECT_FALSE(bar->visible());
    EXPECT_FALSE(viewer->controls_visible());
    tap({120, 160});
    EXPECT_TRUE(bar->visible());
}

TEST_F(ViewerTest, ADoubleTapZoomsInOneLevelUnderTheFinger) {
    make_pictures(1, {960, 640});
    open(0);
    settle();
    ZoomImage& view = *viewer->current_view();
    const double fit = view.zoom();
    tap({120, 160});
    frames(6);  // 0.24 s: too late for a double tap
    tap({120, 160});
    EXPECT_DOUBLE_EQ(view.target_zoom(), fit);
    frame();
    tap({120, 160});
    EXPECT_DOUBLE_EQ(view.target_zoom(), std::floor(fit) + 1);
    settle();
    // The time between the taps is the clock's, not the frames' (a long frame counts as
    // 0.1 s at most).
    const double zoom = view.target_zoom();
    tap({120, 160});
    frame(300, 0.1);
    tap({120, 160});
    EXPECT_DOUBLE_EQ(view.target_zoom(), zoom);
}

TEST_F(ViewerTest, ZoomStepsGoToTheNextWholeLevelFromAFractionalFit) {
    make_pictures(1, {1200, 800});  // fits 240 x 320 at 1/5: zoom 0.68 of levels 0..3
    open(0);
    settle();
    ZoomImage& view = *viewer->current_view();
    ASSERT_NEAR(view.fit_zoom(), 0.678, 0.001);
    viewer->zoom_step(1);
    EXPECT_DOUBLE_EQ(view.target_zoom(), 1);
    viewer->zoom_step(1);
    EXPECT_DOUBLE_EQ(view.target_zoom(), 2);
    viewer->zoom_step(-1);
    EXPECT_DOUBLE_EQ(view.target_zoom(), 1);
    viewer->zoom_step(-1);
    EXPECT_DOUBLE_EQ(view.target_zoom(), view.fit_zoom());
    settle();
    // A double tap goes the same one level.
    tap({120, 160});
    frame();
    tap({120, 160});
    EXPECT_DOUBLE_EQ(view.target_zoom(), 1);
}

TEST_F(ViewerTest, APictureStillBeingCachedIsRefreshedWhenItsCacheIsReadyKeepingItsZoom) {
    build_caches = false;
    make_pictures(2, {600, 400}, false);
    open(0);
    settle();
    // Shown straight from the picture file meanwhile.
    EXPECT_EQ(viewer->tiles().state(1), SlotState::Loading);
    EXPECT_TRUE(viewer->tiles().direct(1));
    EXPECT_TRUE(viewer->current_view()->screen_complete());
    // The cache file is built now, and the photo library tells its listeners: the picture
    // at its fit zoom reads the cache file from now on.
    ASSERT_TRUE(build_cache_file(pictures[0], dir.u16(), [] { return false; }));
    LibraryEvent ready;
    ready.path = pictures[0];
    library->notify(ready);
    EXPECT_EQ(viewer->tiles().state(1), SlotState::Ready);
    settle();
    EXPECT_TRUE(viewer->current_view()->screen_complete());
    // One the user zoomed into stays as the user left it.
    key(key::Right);
    scroll_to_end();
    settle();
    ZoomImage& view = *viewer->current_view();
    viewer->zoom_step(1);
    settle();
    view.set_center(330, 200);  // panned right, within the picture
    settle();
    const double zoom = view.zoom();
    ASSERT_GT(zoom, view.fit_zoom());
    ASSERT_DOUBLE_EQ(view.center(0), 330);
    ASSERT_TRUE(build_cache_file(pictures[1], dir.u16(), [] { return false; }));
    ready.path = pictures[1];
    library->notify(ready);
    EXPECT_TRUE(viewer->tiles().direct(1));
    EXPECT_DOUBLE_EQ(view.zoom(), zoom);
    EXPECT_DOUBLE_EQ(view.center(0), 330);
    settle();
    EXPECT_TRUE(view.screen_complete());
}

TEST_F(ViewerTest, APictureThatCannotBeDecodedShowsTheBadStandInInEveryCell) {
    // The stand-in as skins ship it: 256 x 256, a mark in the middle of a plain ground.
    constexpr Pixel kGround = 0x2104, kMark = 0xF800;
    auto art = Bitmap::create(256, 256);
    art->clear(kGround);
    for (int y = 96; y < 160; ++y)
        for (int x = 96; x < 160; ++x) art->row(y)[x] = kMark;
    ASSERT_TRUE(write_bmp_565(*art, from_utf8(dir.file("stand-in.bad.bmp"))));
    viewer->tiles().set_placeholder_prefix(from_utf8(dir.file("stand-in")));
    const std::string junk = dir.file("photos/junk.jpg");
    test::write_file(junk, "not a picture at all");
    const std::string marker = to_utf8(cache_file_name(from_utf8(junk), dir.u16()));
    std::filesystem::create_directories(std::filesystem::path(marker).parent_path());
    test::write_file(marker, "");
    pictures = {from_utf8(junk)};
    open(0);
    settle();
    ASSERT_EQ(viewer->tiles().state(1), SlotState::Bad);
    ASSERT_EQ(viewer->current_view()->tile_size(), (Size{64, 64}));
    // Each 64 x 64 cell shows the whole mark, reduced, in its middle.
    const Bitmap& shown = *screen.bitmap();
    for (const Point cell : {Point{0, 64}, Point{64, 128}, Point{128, 256}}) {
        EXPECT_EQ(shown.row(cell.y + 32)[cell.x + 32], kMark) << cell.x << " " << cell.y;
        EXPECT_EQ(shown.row(cell.y + 2)[cell.x + 2], kGround) << cell.x << " " << cell.y;
    }
}

TEST_F(ViewerTest, BackClosesTheViewerAndItOpensAgain) {
    make_pictures(2, {400, 300});
    open(1);
    app->dispatch_key({key::Backspace, true, true});
    EXPECT_TRUE(viewer->is_open());
    app->dispatch_key({key::Backspace, false, true});
    EXPECT_FALSE(viewer->is_open());
    EXPECT_EQ(app->top_screen(), &folder);
    open(0);
    EXPECT_TRUE(viewer->is_open());
    EXPECT_EQ(number_text(*viewer), u"1 2");
    settle();
}

}  // namespace
}  // namespace vistrel

namespace vistrel {
namespace {

TEST_F(ViewerTest, ASkinWithoutTheViewerClosesItInsteadOfFailing) {
    make_pictures(1, {400, 300});
    open(0);
    test::use_source(properties, "node Other { string type node }");
    properties.send_reload_skin();
    EXPECT_FALSE(viewer->is_open());
    EXPECT_EQ(app->top_screen(), &folder);
    viewer->open(pictures, 0, dir.u16());
    EXPECT_FALSE(viewer->is_open());
    test::use_viewer_skin(properties);
    properties.send_reload_skin();
    open(0);
    EXPECT_TRUE(viewer->is_open());
    settle();
}

}  // namespace
}  // namespace vistrel
