#include <gtest/gtest.h>

#include "frame/screen_keeper.h"
#include "frame/screen_schedule.h"

namespace vistrel {
namespace {

int at(int hours, int minutes) {
    return hours * 60 + minutes;
}

ScreenSchedule parsed(const std::string& text) {
    std::string error;
    auto schedule = ScreenSchedule::parse(text, error);
    EXPECT_TRUE(schedule) << text << ": " << error;
    return schedule.value_or(ScreenSchedule{});
}

TEST(ScreenSchedule, WeekdayRulesAndRangesPastMidnight) {
    const ScreenSchedule s = parsed("mon-fri 07:00-08:30,17:00-23:00 SAT-sun 08:00-23:00");
    EXPECT_FALSE(s.on_at({0, at(6, 59)}));
    EXPECT_TRUE(s.on_at({0, at(7, 0)}));
    EXPECT_FALSE(s.on_at({0, at(8, 30)}));
    EXPECT_TRUE(s.on_at({4, at(22, 59)}));
    EXPECT_FALSE(s.on_at({5, at(7, 30)}));
    EXPECT_TRUE(s.on_at({6, at(8, 0)}));
    EXPECT_EQ(s.minutes_to_change({0, at(6, 0)}), 60);
    EXPECT_EQ(s.minutes_to_change({6, at(23, 0)}), at(7, 0) + 60);

    const ScreenSchedule night = parsed("fri-mon 22:00-02:00");
    EXPECT_TRUE(night.on_at({4, at(23, 0)}));
    EXPECT_TRUE(night.on_at({1, at(1, 59)}));  // Monday night into Tuesday
    EXPECT_FALSE(night.on_at({1, at(2, 0)}));
    EXPECT_FALSE(night.on_at({2, at(23, 0)}));

    const ScreenSchedule always = parsed("00:00-24:00");
    EXPECT_TRUE(always.on_at({3, at(23, 59)}));
    EXPECT_FALSE(always.minutes_to_change({3, 0}));
    // Nonsense moments are brought into range.
    EXPECT_TRUE(always.on_at({-9, 99999}));
}

TEST(ScreenSchedule, WrongSchedulesGiveOneLine) {
    for (const char* text : {"", "7:00-8:00", "07:00-07:00", "25:00-26:00", "07:60-08:00",
                             "mon-fri", "mon-fri tue 07:00-08:00", "funday 07:00-08:00",
                             "07:00-08:00,", "24:00-01:00", "07:00-08:00x", "mon--fri 07:00-08:00"}) {
        std::string error;
        EXPECT_FALSE(ScreenSchedule::parse(text, error)) << text;
        EXPECT_NE(error.find("--screen-on"), std::string::npos) << text;
        EXPECT_EQ(error.find('\n'), std::string::npos) << text;
    }
}

class FakeWall final : public WallClock {
public:
    WeekMinute now() const override { return when; }
    WeekMinute when{0, 0};
};

// The activation messages the keeper posted, in order.
std::vector<uint32_t> activations(Window& window) {
    std::vector<uint32_t> codes;
    WindowMessage m;
    while (window.peek_message(m))
        if (m.kind == MessageKind::Activate) codes.push_back(m.code);
    return codes;
}

TEST(ScreenKeeper, BlanksOutsideTheTimesAndATouchWakesForAWhile) {
    SimulatedClock clock(1000);
    HeadlessWindow window(DeviceProfile{}, clock);
    FakeWall wall;
    wall.when = {0, at(6, 0)};
    std::vector<bool> power;
    ScreenKeeper keeper(window, parsed("07:00-22:00"), wall, [&](bool on) { power.push_back(on); });
    EXPECT_FALSE(keeper.screen_on());
    EXPECT_EQ(activations(window), (std::vector<uint32_t>{1, 0}));  // the window's own first

    // The waking touch does nothing else; its release and moves are taken too.
    for (MessageKind kind : {MessageKind::ButtonDown, MessageKind::PointerMove, MessageKind::ButtonUp}) {
        WindowMessage touch;
        touch.kind = kind;
        window.dispatch(touch);
        EXPECT_EQ(touch.kind, MessageKind::None);
    }
    EXPECT_TRUE(keeper.screen_on());
    WindowMessage tap;
    tap.kind = MessageKind::ButtonDown;
    window.dispatch(tap);
    EXPECT_EQ(tap.kind, MessageKind::ButtonDown);  // awake: input acts again

    clock.advance(ScreenKeeper::kWakeMs + 1000);
    keeper.check();
    EXPECT_FALSE(keeper.screen_on());
    wall.when = {0, at(7, 0)};
    keeper.check();
    EXPECT_TRUE(keeper.screen_on());
    EXPECT_EQ(power, (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(activations(window), (std::vector<uint32_t>{1, 0, 1}));
    EXPECT_TRUE(window.has_timer(ScreenKeeper::kTimerId));

    // The keeper's timer is its own: the program never sees it.
    WindowMessage timer;
    timer.kind = MessageKind::Timer;
    timer.code = ScreenKeeper::kTimerId;
    window.dispatch(timer);
    EXPECT_EQ(timer.kind, MessageKind::None);
}

}  // namespace
}  // namespace vistrel
