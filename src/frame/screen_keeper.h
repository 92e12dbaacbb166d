#pragma once
// Keeps the frame's screen to its schedule: outside the scheduled times the window is made
// inactive (the display driver switches the panel off, the slide show stops drawing and
// advancing) and the backlight is powered down where the board has one; a touch or key
// wakes the screen for a few minutes. The waking input itself does nothing else.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/window.h"
#include "frame/screen_schedule.h"

namespace vistrel {

// Local time, injected so that tests choose the hour.
class WallClock {
public:
    virtual ~WallClock() = default;
    virtual WeekMinute now() const = 0;
};

class SystemWallClock final : public WallClock {
public:
    WeekMinute now() const override;
};

// The board's backlights (/sys/class/backlight/*/bl_power), switched best effort.
class Backlights {
public:
    explicit Backlights(const std::string& root = "/sys/class/backlight");
    void set_power(bool on);
    const std::vector<std::string>& files() const { return m_files; }

private:
    std::vector<std::string> m_files;
};

class ScreenKeeper final : public WindowHook {
public:
    static constexpr uint32_t kTimerId = 0x5C4E;
    static constexpr uint32_t kWakeMs = 5 * 60 * 1000;

    // `power` is told each change (true: on); it is called after the window's activation
    // message is posted.
    ScreenKeeper(Window& window, ScreenSchedule schedule, const WallClock& wall,
                 std::function<void(bool)> power = {});
    ~ScreenKeeper() override;
    ScreenKeeper(const ScreenKeeper&) = delete;
    ScreenKeeper& operator=(const ScreenKeeper&) = delete;

    bool screen_on() const { return m_on; }
    // Looks at the schedule now (also done by the keeper's timer).
    void check();
    void hook_message(WindowMessage& message) override;

private:
    void switch_screen(bool on);
    bool waking_input(const WindowMessage& message) const;

    Window& m_window;
    ScreenSchedule m_schedule;
    const WallClock& m_wall;
    std::function<void(bool)> m_power;
    bool m_on = true;
    bool m_awake = false;       // woken by input outside the scheduled times
    uint32_t m_awake_until = 0;  // window clock
    bool m_swallow_release = false;
};

}  // namespace vistrel
