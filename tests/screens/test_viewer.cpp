#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "library/cache/cache_builder.h"
#include "library/cache/cache_file.h"
#include "platform/text.h"
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
    EXPECT_EQ(number_text(*viewer), u"2 / 3");
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
    EXPECT_EQ(number_text(*viewer), u"2 / 3");
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
    EXPECT_EQ(number_text(*viewer), u"2 / 2");
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
}

TEST_F(ViewerTest, APictureStillBeingCachedShowsAndIsRefreshedWhenItsCacheIsReady) {
    build_caches = false;
    make_pictures(2, {600, 400}, false);
    open(0);
    settle();
    // Shown straight from the picture file meanwhile.
    EXPECT_EQ(viewer->tiles().state(1), SlotState::Loading);
    EXPECT_TRUE(viewer->tiles().direct(1));
    EXPECT_TRUE(viewer->current_view()->screen_complete());
    // The cache file is built now, and the photo library tells its listeners.
    ASSERT_TRUE(build_cache_file(pictures[0], dir.u16(), [] { return false; }));
    LibraryEvent ready;
    ready.path = pictures[0];
    library->notify(ready);
    EXPECT_EQ(viewer->tiles().state(1), SlotState::Ready);
    settle();
    EXPECT_TRUE(viewer->current_view()->screen_complete());
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
    EXPECT_EQ(number_text(*viewer), u"1 / 2");
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
