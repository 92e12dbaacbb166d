#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <vector>

#include "display/window.h"
#include "render/render_surface.h"
#include "render/span_op.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/script.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

// A screen of one colour that records what reaches it.
struct TestScreen : Screen {
    explicit TestScreen(Colour c) : colour(c) {}
    Colour colour;
    bool visible = false;
    bool is_dirty = true;
    Size size;
    std::optional<Size> drawn_size;  // draws this much instead of its whole extent
    std::vector<PointerEvent> buttons;
    std::vector<KeyEvent> keys;
    std::u16string text;
    ScreenAnimation* own_animation = nullptr;

    void set_visible(bool v) override { visible = v; }
    void show_animated(bool show) override { visible = show; }
    void set_x_extent(int, int width) override { size.w = width; }
    void set_y_extent(int, int height) override { size.h = height; }
    void animate(double) override {}
    void draw(Surface& surface, Point origin) override {
        surface.fill(origin, drawn_size.value_or(size), colour);
        is_dirty = false;
    }
    void on_pointer_move(const PointerEvent&) override {}
    bool on_pointer_button(const PointerEvent& e) override {
        buttons.push_back(e);
        return true;
    }
    bool on_key(const KeyEvent& e) override {
        keys.push_back(e);
        return true;
    }
    bool on_text(const std::u16string& t) override {
        text += t;
        return true;
    }
    ScreenAnimation* animation() override { return own_animation; }
    bool dirty() const override { return is_dirty; }
    bool layout_pending() const override { return false; }
};

struct Listener : ApplicationListener {
    std::vector<std::u16string> command_lines;
    bool allow_close = true;
    int closes = 0, resolution_changes = 0;
    bool filter_all = false;
    void on_command_line(const std::u16string& t) override { command_lines.push_back(t); }
    bool on_close_request() override {
        ++closes;
        return allow_close;
    }
    void on_screen_pushed(Screen*) override {}
    void on_screen_removed(Screen*, int) override {}
    void on_resolution_changed() override {
        ++resolution_changes;
        Application::instance()->set_direct_mode(
            Application::instance()->window().system_orientation());
    }
    void on_help() override {}
    void on_deactivated() override {}
    void on_activated() override {}
    bool on_key_filter(const KeyEvent&) override { return filter_all; }
};

struct Session {
    SimulatedClock clock{1000};
    Application app;
    explicit Session(DeviceProfile profile = {})
        : app(u"Vistrel", std::make_unique<HeadlessWindow>(profile, clock)) {}
    Window& window() { return app.window(); }
    // Dispatches every message that is ready.
    void drain() {
        WindowMessage m;
        while (window().peek_message(m)) {
            if (m.kind == MessageKind::Quit) {
                quit_seen = true;
                continue;
            }
            window().dispatch(m);
        }
    }
    void send(MessageKind kind, uint32_t code = 0, int x = 0, int y = 0, bool repeat = false) {
        WindowMessage m;
        m.kind = kind;
        m.code = code;
        m.x = x;
        m.y = y;
        m.repeat = repeat;
        window().dispatch(m);
    }
    bool quit_seen = false;
};

DeviceProfile small_profile(int orientation = 0) {
    DeviceProfile p;
    p.screen = {240, 320};
    p.dpi = 96;
    p.orientation = orientation;
    return p;
}

TEST(Application, OverlayDimmingTakesEightFramesEachWay) {
    Session s(small_profile());
    s.app.set_direct_mode(0);
    TestScreen base({200, 100, 40, 255}), overlay({0, 0, 255, 255});
    s.app.push_screen(&base, false);
    RenderSurface frame({240, 320});
    while (s.app.needs_redraw(true))
        s.app.draw_frame(frame);
    EXPECT_EQ(frame.bitmap()->row(0)[0], to_pixel(base.colour));

    s.app.push_screen(&overlay, true);
    EXPECT_FALSE(base.visible);
    EXPECT_TRUE(overlay.visible);
    overlay.drawn_size = Size{10, 10};
    std::vector<int> levels;
    for (int i = 0; i < 10; ++i) {
        s.app.draw_frame(frame);
        levels.push_back(s.app.dim_level());
    }
    EXPECT_EQ(levels, (std::vector<int>{240, 224, 208, 192, 176, 160, 144, 128, 128, 128}));
    // The snapshot of the screen below shows at half brightness around the overlay.
    EXPECT_EQ(frame.bitmap()->row(300)[200], DimSpan::dim(to_pixel(base.colour), 8));
    EXPECT_EQ(frame.bitmap()->row(0)[0], to_pixel(overlay.colour));

    ASSERT_TRUE(s.app.remove_screen(&overlay));
    EXPECT_TRUE(base.visible);
    levels.clear();
    int frames = 0;
    while (s.app.needs_redraw(false) && frames < 20) {
        s.app.draw_frame(frame);
        levels.push_back(s.app.dim_level());
        ++frames;
    }
    EXPECT_EQ(levels, (std::vector<int>{144, 160, 176, 192, 208, 224, 240, 256, 256}));
    EXPECT_EQ(frame.bitmap()->row(0)[0], to_pixel(base.colour));
    EXPECT_FALSE(s.app.remove_screen(&overlay));
}

TEST(Application, ReleaseComesFromTheCaptureChangeAndIsCancelledWhenLost) {
    Session s(small_profile());
    TestScreen screen({1, 2, 3, 255});
    s.app.push_screen(&screen, false);
    s.send(MessageKind::ButtonDown, 0, 5, 6);
    ASSERT_EQ(screen.buttons.size(), 1u);
    EXPECT_TRUE(screen.buttons[0].pressed);
    EXPECT_TRUE(s.window().has_capture());
    s.window().lose_capture();
    s.drain();
    ASSERT_EQ(screen.buttons.size(), 2u);
    EXPECT_FALSE(screen.buttons[1].pressed);
    EXPECT_TRUE(screen.buttons[1].cancelled);
    EXPECT_EQ(screen.buttons[1].x, kNoRelease);

    s.send(MessageKind::ButtonDown, 0, 5, 6);
    s.send(MessageKind::ButtonUp, 0, 7, 8);
    ASSERT_EQ(screen.buttons.size(), 4u);
    EXPECT_FALSE(screen.buttons[3].pressed);
    EXPECT_FALSE(screen.buttons[3].cancelled);
    EXPECT_EQ(screen.buttons[3].x, 7);
    EXPECT_EQ(screen.buttons[3].y, 8);
    EXPECT_FALSE(s.window().has_capture());
}

TEST(Application, KeysCharactersAndTheListenersFilter) {
    Session s(small_profile());
    TestScreen screen({1, 2, 3, 255});
    Listener listener;
    s.app.set_listener(&listener);
    s.app.push_screen(&screen, false);
    s.send(MessageKind::KeyDown, 37);
    s.send(MessageKind::KeyDown, 37, 0, 0, true);
    s.send(MessageKind::KeyUp, 37);
    ASSERT_EQ(screen.keys.size(), 3u);
    EXPECT_EQ(screen.keys[0].code, key::Left);
    EXPECT_TRUE(screen.keys[0].first);
    EXPECT_FALSE(screen.keys[1].first);
    EXPECT_FALSE(screen.keys[2].down);
    EXPECT_TRUE(screen.keys[2].first);
    listener.filter_all = true;
    s.send(MessageKind::KeyDown, 13);
    EXPECT_EQ(screen.keys.size(), 3u);
    s.send(MessageKind::HotKey, 112);  // hot keys pass no filter
    ASSERT_EQ(screen.keys.size(), 4u);
    EXPECT_EQ(screen.keys[3].code, key::SoftLeft);
    s.send(MessageKind::Char, 'a');
    s.send(MessageKind::Char, 13);
    s.send(MessageKind::Char, u'\u044f');
    EXPECT_EQ(screen.text, u"a\u044f");
    s.app.set_listener(nullptr);
}

TEST(Application, CommandLinesCloseRequestsAndDestroy) {
    Session s(small_profile());
    Listener listener;
    s.app.set_listener(&listener);
    WindowMessage copy;
    copy.kind = MessageKind::CopyData;
    copy.text = u"%CommandLineEmpty%";
    s.window().dispatch(copy);
    copy.text = u"--open here";
    s.window().dispatch(copy);
    s.drain();
    EXPECT_EQ(listener.command_lines, (std::vector<std::u16string>{u"", u"--open here"}));
    listener.allow_close = false;
    s.send(MessageKind::Close);
    s.drain();
    EXPECT_FALSE(s.quit_seen);
    listener.allow_close = true;
    s.send(MessageKind::Close);
    s.drain();
    EXPECT_TRUE(s.quit_seen);
    EXPECT_EQ(listener.closes, 2);
    s.app.set_listener(nullptr);
}

TEST(Application, ClientAreaFollowsTheDeviceClassAndMode) {
    EXPECT_EQ(bar_heights(false, 240, 96).top, 26);
    EXPECT_EQ(bar_heights(false, 480, 192).top, 52);
    EXPECT_EQ(bar_heights(true, 176, 96).top, 20);
    EXPECT_EQ(bar_heights(true, 320, 96).top, 27);
    EXPECT_EQ(bar_heights(true, 352, 96).top, 40);
    EXPECT_EQ(bar_heights(true, 800, 192).bottom, 54);
    EXPECT_EQ(bar_heights(true, 300, 96).top, 0);
    Session s(small_profile());
    ScreenArea info = s.app.client_area();
    EXPECT_EQ(info.client_top, 26);
    EXPECT_EQ(info.client_height, 320 - 26 - 26);
    s.app.set_direct_mode(1);
    info = s.app.client_area();
    EXPECT_EQ(info.client_top, 0);
    EXPECT_EQ(info.client_width, 320);
    EXPECT_EQ(info.client_height, 240);
}

struct Rotations : OrientationListener {
    int count = 0;
    void on_orientation_changed() override { ++count; }
};

TEST(Application, ScriptedSessionDrawsOnlyWhatChangedAndFollowsRotation) {
    test::TempDir dir;
    Session s(small_profile());
    s.app.set_direct_mode(0);
    TestScreen screen({255, 0, 0, 255});
    Listener listener;
    Rotations rotations;
    s.app.set_listener(&listener);
    s.app.add_orientation_listener(&rotations);
    s.app.push_screen(&screen, false);
    Script script;
    std::string error;
    const std::string shot0 = dir.file("still.png"), shot1 = dir.file("turned.png");
    ASSERT_TRUE(parse_script(
        "frames 30\nshot " + shot0 + "\ntap 10 20\nrotate 1\nframes 3\nshot " + shot1 + "\nquit\n",
        script, error))
        << error;
    ScriptPlayer player(std::move(script));
    GameBase& game = s.app.window_part();
    game.set_script(&player);
    s.app.run();
    EXPECT_TRUE(player.finished());
    EXPECT_FALSE(player.failed());
    EXPECT_EQ(player.shots_written(), 2);
    EXPECT_GE(game.frame_steps(), 33u);
    // The first frame and one more after it; the still screen costs nothing after that,
    // then the rotation draws again.
    EXPECT_LE(game.frames_drawn(), 5u);
    ASSERT_EQ(screen.buttons.size(), 2u);
    EXPECT_EQ(screen.buttons[0].x, 10);
    EXPECT_EQ(screen.buttons[0].y, 20);
    EXPECT_EQ(rotations.count, 1);
    EXPECT_EQ(listener.resolution_changes, 1);
    EXPECT_EQ(game.display()->orientation(), 1);
    EXPECT_EQ(screen.size, (Size{320, 240}));
    const std::string png = test::read_file_bytes(shot1);
    ASSERT_GT(png.size(), 24u);
    // The shot is the panel as the user sees it: 240 x 320 whatever the orientation.
    EXPECT_EQ(uint8_t(png[19]), 240);
    EXPECT_EQ(uint8_t(png[22]) * 256 + uint8_t(png[23]), 320);
    s.app.remove_orientation_listener(&rotations);
    s.app.set_listener(nullptr);
}

}  // namespace
}  // namespace vistrel
