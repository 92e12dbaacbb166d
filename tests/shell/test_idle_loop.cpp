// The frame loop while nothing moves: it rests until the screen's next change or a message,
// in direct and windowed mode, and the screens still see every second pass.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <optional>
#include <thread>
#include <vector>

#include "display/board_window.h"
#include "display/window.h"
#include "shell/application.h"
#include "shell/game_base.h"
#include "shell/idle_probes.h"
#include "shell/script.h"

namespace vistrel {
namespace {

// A still picture that changes by itself every `period` seconds, like a slide show, and
// records when (on the window's clock) it changed and what reached it.
struct SlideScreen : Screen {
    explicit SlideScreen(Clock& c, std::optional<double> p = 3.0) : clock(c), period(p) {}
    Clock& clock;
    std::optional<double> period;  // nothing: changes only with input
    double since_change = 0;
    double animated = 0;  // every second the frame steps handed over
    bool is_dirty = true;
    std::vector<uint32_t> changes;
    std::vector<double> animated_at_button;  // `animated` when each button event came

    void set_visible(bool) override {}
    void show_animated(bool) override {}
    void set_x_extent(int, int) override {}
    void set_y_extent(int, int) override {}
    void animate(double seconds) override {
        animated += seconds;
        if (!period) return;
        since_change += seconds;
        if (since_change + 1e-9 >= *period) {
            since_change = 0;
            changes.push_back(clock.now());
            is_dirty = true;
        }
    }
    void draw(Surface& surface, Point origin) override {
        surface.fill(origin, {8, 8}, Colour{10, 20, 30, 255});
        is_dirty = false;
    }
    void on_pointer_move(const PointerEvent&) override {}
    bool on_pointer_button(const PointerEvent&) override {
        animated_at_button.push_back(animated);
        return true;
    }
    bool on_key(const KeyEvent&) override { return true; }
    bool on_text(const std::u16string&) override { return true; }
    ScreenAnimation* animation() override { return nullptr; }
    bool dirty() const override { return is_dirty; }
    bool layout_pending() const override { return false; }
    std::optional<double> seconds_to_change() const override {
        if (!period) return std::nullopt;
        return std::max(0.0, *period - since_change);
    }
};

DeviceProfile small_profile() {
    DeviceProfile p;
    p.screen = {240, 320};
    p.dpi = 96;
    return p;
}

// Plays `source` on `app` to its end; false when the script does not parse.
bool play(Application& app, const std::string& source) {
    Script script;
    std::string error;
    if (!parse_script(source, script, error)) return false;
    ScriptPlayer player(std::move(script));
    app.window_part().set_script(&player);
    app.run();
    app.window_part().set_script(nullptr);
    return player.finished();
}

struct Session {
    explicit Session(bool direct)
        : app(u"Vistrel", std::make_unique<HeadlessWindow>(small_profile(), clock)) {
        if (direct) app.set_direct_mode(0);
    }
    SimulatedClock clock{1000};
    Application app;
};

TEST(IdleLoop, AStillScreenRestsBetweenItsChangesWhichComeOnTime) {
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct mode" : "windowed mode");
        Session s(direct);
        SlideScreen screen(s.clock);
        s.app.push_screen(&screen, false);
        ASSERT_TRUE(play(s.app, "wait 10000\nquit\n"));
        // Polling at the frame rate took 1000 (direct) or 250 (windowed) steps here.
        const uint64_t steps = s.app.window_part().frame_steps();
        EXPECT_LE(steps, 60u);
        EXPECT_GE(steps, 3u);
        // Every slide came when due, and the screen saw the whole time pass.
        const uint32_t slack = direct ? kDirectPollMs : kFramePeriodMs;
        ASSERT_EQ(screen.changes.size(), 3u);
        for (size_t i = 0; i < screen.changes.size(); ++i) {
            const uint32_t due = 1000 + 3000 * uint32_t(i + 1);
            EXPECT_GE(screen.changes[i], due - slack) << i;
            EXPECT_LE(screen.changes[i], due + slack) << i;
        }
        // (The rest after the last one ends with the session.)
        EXPECT_GE(screen.animated, 9.0);
        EXPECT_LE(screen.animated, 10.1);
        s.app.remove_screen(&screen);
    }
}

TEST(IdleLoop, InputEndsTheRestAfterTheScreenCaughtUpWithTheTimeRested) {
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct mode" : "windowed mode");
        Session s(direct);
        SlideScreen screen(s.clock, std::nullopt);
        s.app.push_screen(&screen, false);
        ASSERT_TRUE(play(s.app, "wait 5000\ntap 10 20\nwait 5000\nquit\n"));
        EXPECT_LE(s.app.window_part().frame_steps(), 40u);
        // The press found the screen five seconds on, the release too.
        ASSERT_EQ(screen.animated_at_button.size(), 2u);
        EXPECT_NEAR(screen.animated_at_button[0], 5.0, 0.1);
        EXPECT_NEAR(screen.animated_at_button[1], 5.0, 0.1);
        s.app.remove_screen(&screen);
    }
}

TEST(IdleLoop, FramesGoOnWhileWorkRunsElsewhere) {
    Session s(true);
    SlideScreen screen(s.clock, std::nullopt);
    s.app.push_screen(&screen, false);
    {
        IdleProbeScope busy([] { return false; });
        ASSERT_TRUE(play(s.app, "wait 1000\nquit\n"));
    }
    // Each frame step takes what the work handed over, so they go on at the frame rate.
    EXPECT_GE(s.app.window_part().frame_steps(), 90u);
    s.app.remove_screen(&screen);
}

TEST(IdleLoop, AScriptCountingFramesAfterARestGetsThemAtOnce) {
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct mode" : "windowed mode");
        Session t(direct);
        SlideScreen still(t.clock, std::nullopt);
        t.app.push_screen(&still, false);
        ASSERT_TRUE(play(t.app, "wait 5000\nframes 20\nquit\n"));
        const uint32_t period = direct ? kDirectPollMs : kFramePeriodMs;
        EXPECT_LE(t.clock.now(), 6000 + 25 * period);
        EXPECT_GE(t.app.window_part().frame_steps(), 20u);
        t.app.remove_screen(&still);
    }
}

// A message posted from another thread wakes the loop resting without a deadline.
template <typename WindowKind>
void woken_by_post() {
    SystemClock clock;
    Application app(u"Vistrel", std::make_unique<WindowKind>(small_profile(), clock));
    app.set_direct_mode(0);
    SlideScreen screen(clock, std::nullopt);
    app.push_screen(&screen, false);
    // Ends the test should the post not wake the loop.
    app.window().set_timer(77, 5000);
    const auto start = std::chrono::steady_clock::now();
    std::thread poster([&app] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        app.quit();
    });
    app.run();
    poster.join();
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_LT(waited, std::chrono::milliseconds(4000));
    // A few steps, then the rest (polling took about 30 in that time).
    EXPECT_LE(app.window_part().frame_steps(), 20u);
    app.remove_screen(&screen);
}

TEST(IdleLoop, APostFromAnotherThreadWakesTheRestingLoop) {
    woken_by_post<HeadlessWindow>();
    woken_by_post<BoardWindow>();
}

}  // namespace
}  // namespace vistrel
