// The library's cache builds and the frame steps follow the frame's screen: held back while
// the schedule blanks it, going on when a touch or the schedule turns it on.
#include <gtest/gtest.h>

#include <atomic>

#include "frame/screen_keeper.h"
#include "library/photo_library.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/script.h"
#include "support/test_support.h"

namespace vistrel {
namespace {

class FakeWall final : public WallClock {
public:
    WeekMinute now() const override { return when; }
    WeekMinute when{0, 0};
};

// Waits a bounded while for the condition.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 5000 && !condition(); ++i) sleep_ms(1);
    return condition();
}

TEST(BlankedFrame, NoCacheFileIsBuiltWhileTheScreenIsBlank) {
    test::TempDir dir;
    std::atomic<int> built{0};
    PhotoLibraryOptions options;
    options.folder_list = from_utf8(dir.file("folders.ini"));
    options.build_threads = 1;
    options.build_cache = [&](const std::u16string&, const std::u16string&, const StopTest&) {
        ++built;
        return true;
    };
    PhotoLibrary library(options);
    const std::u16string drive = dir.u16() + u"/";
    auto picture = [&](const char16_t* name) { return drive + u"Trip/" + name; };

    SimulatedClock clock(1000);
    HeadlessWindow window(DeviceProfile{}, clock);
    FakeWall wall;
    wall.when = {2, 6 * 60};  // Wednesday 06:00, before the screen's time
    std::string error;
    auto schedule = ScreenSchedule::parse("07:00-22:00", error);
    ASSERT_TRUE(schedule) << error;
    ScreenKeeper keeper(window, *schedule, wall, [&](bool on) { library.set_paused(!on); });
    ASSERT_FALSE(keeper.screen_on());
    EXPECT_TRUE(library.paused());

    library.add_picture(picture(u"a.jpg"), drive);
    library.add_picture(picture(u"b.jpg"), drive);
    sleep_ms(300);
    EXPECT_EQ(built.load(), 0);
    EXPECT_EQ(library.progress().value, 0);

    // A touch wakes the screen, and the builds go on.
    WindowMessage touch;
    touch.kind = MessageKind::ButtonDown;
    window.dispatch(touch);
    ASSERT_TRUE(keeper.screen_on());
    EXPECT_FALSE(library.paused());
    EXPECT_TRUE(eventually([&] { return built.load() == 2; })) << built.load();

    // The wake ends: held back again.
    clock.advance(ScreenKeeper::kWakeMs + 1000);
    keeper.check();
    ASSERT_FALSE(keeper.screen_on());
    EXPECT_TRUE(library.paused());
    library.add_picture(picture(u"c.jpg"), drive);
    sleep_ms(300);
    EXPECT_EQ(built.load(), 2);

    // The schedule's morning.
    wall.when = {2, 7 * 60};
    keeper.check();
    EXPECT_TRUE(keeper.screen_on());
    EXPECT_TRUE(eventually([&] { return built.load() == 3; })) << built.load();
}

// A still screen that notes the clock at each frame step and the input that reaches it.
struct StepScreen : Screen {
    explicit StepScreen(Clock& c) : clock(c) {}
    Clock& clock;
    std::vector<uint32_t> steps;
    int buttons = 0;
    bool is_dirty = true;
    void set_visible(bool) override {}
    void show_animated(bool) override {}
    void set_x_extent(int, int) override {}
    void set_y_extent(int, int) override {}
    void animate(double) override { steps.push_back(clock.now()); }
    void draw(Surface&, Point) override { is_dirty = false; }
    void on_pointer_move(const PointerEvent&) override {}
    bool on_pointer_button(const PointerEvent&) override { return ++buttons, true; }
    bool on_key(const KeyEvent&) override { return true; }
    bool on_text(const std::u16string&) override { return true; }
    ScreenAnimation* animation() override { return nullptr; }
    bool dirty() const override { return is_dirty; }
    bool layout_pending() const override { return false; }
    std::optional<double> seconds_to_change() const override { return std::nullopt; }
};

TEST(BlankedFrame, ABlankScreenStepsNoFramesUntilATouchWakesIt) {
    SimulatedClock clock(1000);
    DeviceProfile profile;
    profile.screen = {240, 320};
    Application app(u"Vistrel", std::make_unique<HeadlessWindow>(profile, clock));
    app.set_direct_mode(0);
    StepScreen screen(clock);
    app.push_screen(&screen, false);
    FakeWall wall;
    wall.when = {2, 6 * 60};
    std::string error;
    auto schedule = ScreenSchedule::parse("07:00-22:00", error);
    ASSERT_TRUE(schedule) << error;
    ScreenKeeper keeper(app.window(), *schedule, wall);
    ASSERT_FALSE(keeper.screen_on());

    // Ten minutes blank (the keeper looks at the schedule every minute), then a touch.
    Script script;
    ASSERT_TRUE(parse_script("wait 600000\ntap 10 10\nwait 2000\nquit\n", script, error)) << error;
    ScriptPlayer player(std::move(script));
    app.window_part().set_script(&player);
    app.run();
    app.window_part().set_script(nullptr);
    ASSERT_TRUE(player.finished());

    EXPECT_TRUE(keeper.screen_on());
    ASSERT_FALSE(screen.steps.empty());
    EXPECT_GE(screen.steps.front(), 601000u) << "a frame step while the screen was blank";
    // The still screen rests after a few steps; the waking touch itself does nothing.
    EXPECT_LE(screen.steps.size(), 10u);
    EXPECT_EQ(screen.buttons, 0);
    app.remove_screen(&screen);
}

}  // namespace
}  // namespace vistrel
