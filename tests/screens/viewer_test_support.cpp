#include "viewer_test_support.h"

#include <chrono>

#include "library/cache/cache_builder.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "shell/game_base.h"
#include "skin_test_support.h"
#include "ui/element_kinds.h"
#include "ui_test_support.h"

namespace vistrel::test {

namespace {

const char* const kViewerSkin = R"(
node Image { string type node
    node { string type bigpicture string id left color empty_color #000000
           string empty_text Empty font empty_font "9 0 0 0 Box" }
    node { string type bigpicture string id center color empty_color #000000
           string empty_text Empty font empty_font "9 0 0 0 Box" }
    node { string type bigpicture string id right color empty_color #000000
           string empty_text Empty font empty_font "9 0 0 0 Box" }
    node { string type node string id size_image }
    node { string type htable string id bar string anchor_y MIN_SIDE point design_size 0 20
        node { string type button string id btnBack point design_size 20 20 string bind_key Esc
               node { string type node string id ptrBack } }
        node { string type node string id btngap1 point design_size 4 20
               node { string type node string id ptrgap } }
        node { string type button string id btnMinus point design_size 20 20
               node { string type node string id ptrMinus } }
        node { string type checkbox string id chkLandscape point design_size 20 20
            node { string type button string id "#state_0" node { string type node string id ptr_state_0 } }
            node { string type button string id "#state_1" node { string type node string id ptr_state_1 } }
        }
        node { string type node string id btngap2 point design_size 4 20
               node { string type node string id ptrgap } }
        node { string type button string id btnNumText point design_size 60 20
               node { string type oldtext string id "#text" font font "9 0 0 0 Box" }
               node { string type oldtext string id "#index" font font "9 0 0 0 Box" }
               node { string type oldtext string id "#count" font font "9 0 0 0 Box" }
               node { string type node string id ptrNumText } }
        node { string type button string id btnPlus point design_size 20 20
               node { string type node string id ptrPlus } }
        node { string type checkbox string id chkSlideShow point design_size 20 20
            node { string type button string id "#state_0" node { string type node string id ptr_state_0 } }
            node { string type button string id "#state_1" node { string type node string id ptr_state_1 } }
        }
        node { string type node string id btngap3 point design_size 4 20
               node { string type node string id ptrgap } }
        node { string type button string id btnMenu point design_size 20 20
               node { string type node string id ptrMenu } }
    }
    node { string type button string id btnProperties string anchor_y MAX_SIDE
           point design_size 0 60
           node { string type oldtext string id "#text" font font "9 0 0 0 Box" } }
}
node Menu { string type node
    node { string type node string id panel
        node { string type vtable
            node { string type text string id caption int grow 1 font font "9 0 0 0 Box" }
            node { string type vlist string id vlist int table_ratio 1 }
        }
    }
}
node MenuElement { string type button point design_size 0 20
    node { string type oldtext string id "#text" font font "9 0 0 0 Box" }
}
node MenuElementRed { string type button point design_size 0 20
    node { string type oldtext string id "#text" font font "9 0 0 0 Box" }
}
)";

}  // namespace

void ViewerKinds::register_kinds() {
    register_element_kinds();
    register_bigpicture_kind(ElementRegistry::global());
}

void ViewerKinds::unregister_kinds() {
    unregister_bigpicture_kind(ElementRegistry::global());
    unregister_element_kinds();
}

void use_viewer_skin(Properties& properties) {
    use_source(properties, kViewerSkin);
}

void ViewerTest::SetUp() {
    DeviceProfile profile;
    profile.screen = kScreen;
    profile.dpi = 96;
    app = std::make_unique<Application>(u"Vistrel", std::make_unique<HeadlessWindow>(profile, clock),
                                        &kinds);
    app->set_windowed_mode(false);
    app->set_direct_mode(0);
    use_viewer_skin(properties);
    PhotoLibraryOptions options;
    options.folder_list = from_utf8(dir.file("folders.ini"));
    options.build_cache = [this](const std::u16string& picture, const std::u16string& drive,
                                 const StopTest& stop) {
        return build_caches.load() && build_cache_file(picture, drive, stop);
    };
    library = std::make_unique<PhotoLibrary>(options);
    app->push_screen(&folder, false);
    viewer = std::make_unique<ImageViewer>(properties, *library);
    std::filesystem::create_directories(dir.path() / "photos");
}

void ViewerTest::TearDown() {
    viewer.reset();
    app->remove_screen(&folder);
    library.reset();
}

void ViewerTest::make_pictures(int count, Size size, bool cached) {
    for (int i = 0; i < count; ++i) {
        const std::string file = dir.file("photos/pic" + std::to_string(picture_files.size()) + ".jpg");
        JpegOptions options;
        options.width = size.w;
        options.height = size.h;
        options.pattern = static_cast<int>(picture_files.size()) % 4;
        options.smooth = true;
        write_bytes(file, make_jpeg(options));
        picture_files.push_back(file);
        pictures.push_back(from_utf8(file));
        if (cached) {
            ASSERT_TRUE(build_cache_file(pictures.back(), dir.u16(), [] { return false; }));
        }
    }
}

std::vector<uint8_t> ViewerTest::picture_bytes(int i) const {
    return read_bytes(picture_files[i]);
}

void ViewerTest::open(int index) {
    viewer->open(pictures, index, dir.u16());
    frame();
}

void ViewerTest::frame() {
    frame(40, 0.04);
}

void ViewerTest::frame(uint32_t milliseconds, double seconds) {
    clock.advance(milliseconds);
    time += milliseconds;
    // The timers that came due run, as the message loop runs them.
    CActiveScheduler& scheduler = app->window_part().scheduler();
    scheduler.timed_step();
    scheduler.process_actives();
    app->update(seconds);
    if (app->needs_redraw(false)) app->draw_frame(screen);
}

void ViewerTest::frames(int count) {
    for (int i = 0; i < count; ++i) frame();
}

void ViewerTest::settle(int max_frames) {
    // Decoding runs on real threads: a loaded machine (or a sanitizer) may need more frames
    // than `max_frames`, so the frames go on for up to 30 s of real time.
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int i = 0; i < max_frames || std::chrono::steady_clock::now() < give_up; ++i) {
        frame();
        if (i > 1 && viewer->is_idle()) return;
        sleep_ms(2);
    }
    ADD_FAILURE() << "the viewer did not settle";
}

std::vector<uint8_t> ViewerTest::screen_rgb(const Rect& rect) const {
    std::vector<uint8_t> rgb;
    const Bitmap& b = *screen.bitmap();
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x) {
            const Pixel p = b.row(y)[x];
            rgb.push_back(static_cast<uint8_t>(((p >> 11) & 31) * 255 / 31));
            rgb.push_back(static_cast<uint8_t>(((p >> 5) & 63) * 255 / 63));
            rgb.push_back(static_cast<uint8_t>((p & 31) * 255 / 31));
        }
    return rgb;
}

void ViewerTest::tap(Point point) {
    app->dispatch_pointer_button(press_at(point.x, point.y, time));
    app->dispatch_pointer_button(release_at(point.x, point.y, time));
}

void ViewerTest::drag(Point from, Point to, int steps) {
    app->dispatch_pointer_button(press_at(from.x, from.y, time));
    for (int i = 1; i <= steps; ++i) {
        const Point p{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
        app->dispatch_pointer_move(move_to(p.x, p.y, time));
        frame();
    }
    app->dispatch_pointer_button(release_at(to.x, to.y, time));
}

void ViewerTest::key(KeyCode code) {
    app->dispatch_key({code, true, true});
    app->dispatch_key({code, false, true});
}

void ViewerTest::scroll_to_end() {
    for (int i = 0; i < 100 && viewer->scrolling(); ++i) frame();
}

std::vector<uint8_t> crop_rgb(const DecodedPicture& picture, const Rect& rect) {
    std::vector<uint8_t> rgb;
    for (int y = rect.top; y < rect.bottom; ++y)
        for (int x = rect.left; x < rect.right; ++x)
            for (int c = 0; c < 3; ++c)
                rgb.push_back(picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3 + c]);
    return rgb;
}

}  // namespace vistrel::test
