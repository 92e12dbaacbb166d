#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "display/window.h"
#include "display_test_support.h"

namespace vistrel {
namespace {

using Recorder = test::MessageRecorder;
using test::panel;

TEST(Window, StartsActiveAndTimersFireOnTheSimulatedClock) {
    SimulatedClock clock(1000);
    HeadlessWindow window(panel(240, 320), clock);
    WindowMessage m;
    ASSERT_TRUE(window.get_message(m));
    EXPECT_EQ(m.kind, MessageKind::Activate);
    EXPECT_EQ(m.code, 1u);
    window.set_timer(1, 40);
    std::vector<uint32_t> times;
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(window.get_message(m));
        EXPECT_EQ(m.kind, MessageKind::Timer);
        times.push_back(m.time);
    }
    EXPECT_EQ(times, (std::vector<uint32_t>{1040, 1080, 1120}));
    // A deadline before the next tick ends the wait with nothing.
    EXPECT_FALSE(window.get_message(m, clock.now() + 10));
    EXPECT_EQ(clock.now(), 1130u);
    window.kill_timer(1);
    EXPECT_FALSE(window.has_timer(1));
}

TEST(Window, PostsFromOtherThreadsWakeAWait) {
    SystemClock clock;
    HeadlessWindow window(panel(32, 32), clock);
    WindowMessage m;
    ASSERT_TRUE(window.get_message(m));  // the activation
    std::thread poster([&] {
        WindowMessage user;
        user.kind = MessageKind::User;
        user.code = 1029;
        window.post_message(user);
    });
    ASSERT_TRUE(window.get_message(m));
    poster.join();
    EXPECT_EQ(m.kind, MessageKind::User);
    EXPECT_EQ(m.code, 1029u);
}

TEST(Window, NativeInputIsTurnedIntoTheSystemsOrientation) {
    SimulatedClock clock;
    HeadlessWindow window(panel(240, 320, 1), clock);
    EXPECT_EQ(window.screen_size(), (Size{320, 240}));
    WindowMessage m;
    window.get_message(m);
    window.native_pointer(MessageKind::ButtonDown, {0, 0});
    window.native_key(39, true, true);  // right on the panel
    ASSERT_TRUE(window.get_message(m));
    EXPECT_EQ(m.kind, MessageKind::ButtonDown);
    EXPECT_EQ(m.x, 319);
    EXPECT_EQ(m.y, 0);
    ASSERT_TRUE(window.get_message(m));
    EXPECT_EQ(m.kind, MessageKind::KeyDown);
    EXPECT_EQ(m.code, 40u);  // down in the turned picture
    EXPECT_TRUE(m.repeat);
}

TEST(Window, CaptureReleaseAndLossSendCaptureChanged) {
    SimulatedClock clock;
    HeadlessWindow window(panel(16, 16), clock);
    Recorder recorder;
    window.set_procedure(&recorder);
    window.release_capture();
    EXPECT_TRUE(recorder.seen.empty());
    window.set_capture();
    window.release_capture();
    ASSERT_EQ(recorder.seen.size(), 1u);
    EXPECT_EQ(recorder.seen[0].kind, MessageKind::CaptureChanged);
    window.set_capture();
    window.lose_capture();
    WindowMessage m;
    window.get_message(m);  // activation
    ASSERT_TRUE(window.get_message(m));
    EXPECT_EQ(m.kind, MessageKind::CaptureChanged);
    EXPECT_FALSE(window.has_capture());
}

TEST(Window, PaintTurnsThePictureOntoThePanel) {
    SimulatedClock clock;
    HeadlessWindow window(panel(4, 6, 1), clock);  // the system shows 6 x 4
    auto picture = Bitmap::create(2, 1);
    picture->row(0)[0] = 0x1111;
    picture->row(0)[1] = 0x2222;
    window.paint(*picture, {0, 0});
    // The system's top-left corner is the panel's bottom-left.
    EXPECT_EQ(window.screen().row(5)[0], 0x1111);
    EXPECT_EQ(window.screen().row(4)[0], 0x2222);
    auto copy = Bitmap::create(6, 4);
    ASSERT_TRUE(window.copy_screen(*copy));
    EXPECT_EQ(copy->row(0)[0], 0x1111);
    EXPECT_EQ(copy->row(0)[1], 0x2222);
    // Pictures reaching past the screen are clipped.
    window.paint(*picture, {5, 3});
    window.paint(*picture, {-10, -10});
    EXPECT_EQ(window.screen().row(0)[3], 0x1111);
}

}  // namespace
}  // namespace vistrel
