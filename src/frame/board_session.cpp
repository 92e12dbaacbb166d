#include "frame/board_session.h"

#include <cstdio>

#include "display/board_window.h"

namespace vistrel {

namespace {

void say(const std::string& line) {
    std::fprintf(stderr, "vistrel: %s\n", line.c_str());
}

}  // namespace

bool BoardSession::start(DeviceProfile& profile, const BoardOptions& options,
                         std::string& problem) {
    m_options = options;
    if (!find_board_output(profile.framebuffer, profile.screen, m_output, problem)) return false;
    profile.framebuffer = m_output.device;
    if (!options.screen_given) profile.screen = m_output.size;
    if (!options.orientation_given) profile.orientation = m_output.orientation;
    if (m_output.real_device) {
        std::string why;
        m_console = ConsoleMode::enter_graphics(why);
        if (!m_console) say("the console stays in text mode (" + why + ")");
    }
    m_started = true;
    return true;
}

std::unique_ptr<Window> BoardSession::create_window(const DeviceProfile& profile, Clock& clock) {
    auto window = std::make_unique<BoardWindow>(profile, clock);
    if (m_output.real_device) {
        std::string problem;
        if (!window->open_seat_input(problem)) say(problem);
    }
    return window;
}

std::unique_ptr<ScreenKeeper> BoardSession::keep_schedule(Window& window,
                                                          std::function<void(bool)> power) {
    if (m_options.screen_on.empty()) return nullptr;
    std::string error;
    auto schedule = ScreenSchedule::parse(m_options.screen_on, error);
    if (!schedule) {
        say(error + " (the screen stays on)");
        return nullptr;
    }
    if (m_output.real_device) m_backlights = std::make_unique<Backlights>();
    Backlights* lights = m_backlights.get();
    return std::make_unique<ScreenKeeper>(
        window, std::move(*schedule), m_wall, [lights, power = std::move(power)](bool on) {
            if (lights) lights->set_power(on);
            if (power) power(on);
        });
}

}  // namespace vistrel
