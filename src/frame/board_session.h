#pragma once
// A frame on a board without a desktop, from its start to its end: the screen found and
// checked, the console in graphics mode, the window reading the board's input devices, and
// the screen kept to its schedule.

#include <functional>
#include <memory>
#include <string>

#include "display/window.h"
#include "frame/board_output.h"
#include "frame/console_mode.h"
#include "frame/screen_keeper.h"

namespace vistrel {

struct BoardOptions {
    bool screen_given = false;       // --screen was given: keep it
    bool orientation_given = false;  // --orientation was given: keep it
    std::string screen_on;           // --screen-on schedule, empty for always on
};

class BoardSession {
public:
    // Finds and checks `profile.framebuffer`, then takes the panel's size and orientation
    // into `profile` unless given; false with one line in `problem` (the frame cannot show).
    bool start(DeviceProfile& profile, const BoardOptions& options, std::string& problem);
    bool started() const { return m_started; }
    const BoardOutput& output() const { return m_output; }

    // The window for --headless: input from the board's devices when it has a real screen
    // (a line on standard error names the group to join when they cannot be read).
    std::unique_ptr<Window> create_window(const DeviceProfile& profile, Clock& clock);
    // The schedule keeper for `window`, or nothing without a schedule (a wrong schedule is
    // named on standard error and the frame stays on). `power` is told each change of the
    // screen after the backlights (true: on), to hold back work while it is blank.
    std::unique_ptr<ScreenKeeper> keep_schedule(Window& window,
                                                std::function<void(bool)> power = {});

private:
    bool m_started = false;
    BoardOutput m_output;
    BoardOptions m_options;
    std::unique_ptr<ConsoleMode> m_console;
    SystemWallClock m_wall;
    std::unique_ptr<Backlights> m_backlights;
};

}  // namespace vistrel
