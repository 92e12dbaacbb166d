// The library's cache builds follow the frame's screen: held back while the schedule
// blanks it, going on when a touch or the schedule turns it on.
#include <gtest/gtest.h>

#include <atomic>

#include "frame/screen_keeper.h"
#include "library/photo_library.h"
#include "platform/text.h"
#include "platform/threads.h"
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

}  // namespace
}  // namespace vistrel
