#include "frame/screen_keeper.h"

#include <dirent.h>

#include <algorithm>
#include <ctime>
#include <fstream>

#include "platform/trace.h"

namespace vistrel {

WeekMinute SystemWallClock::now() const {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {(local.tm_wday + 6) % 7, local.tm_hour * 60 + local.tm_min};
}

Backlights::Backlights(const std::string& root) {
    if (DIR* dir = opendir(root.c_str())) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.') m_files.push_back(root + "/" + entry->d_name + "/bl_power");
        closedir(dir);
    }
    std::sort(m_files.begin(), m_files.end());
}

void Backlights::set_power(bool on) {
    // 0 is full power, 4 powered down.
    for (const std::string& file : m_files) {
        std::ofstream out(file);
        out << (on ? "0\n" : "4\n");
        out.flush();
        if (!out) trace() << "Backlight cannot write " << file << "\n";
    }
}

ScreenKeeper::ScreenKeeper(Window& window, ScreenSchedule schedule, const WallClock& wall,
                           std::function<void(bool)> power)
    : m_window(window), m_schedule(std::move(schedule)), m_wall(wall), m_power(std::move(power)) {
    m_window.add_hook(this);
    check();
}

ScreenKeeper::~ScreenKeeper() {
    m_window.kill_timer(kTimerId);
    m_window.remove_hook(this);
}

void ScreenKeeper::switch_screen(bool on) {
    if (on == m_on) return;
    m_on = on;
    trace() << "ScreenKeeper screen " << (on ? "on" : "off") << "\n";
    WindowMessage message;
    message.kind = MessageKind::Activate;
    message.code = on ? 1 : 0;
    m_window.post_message(std::move(message));
    if (m_power) m_power(on);
}

void ScreenKeeper::check() {
    const WeekMinute now = m_wall.now();
    const uint32_t tick = m_window.clock().now();
    if (m_awake && static_cast<int32_t>(tick - m_awake_until) >= 0) m_awake = false;
    const bool scheduled = m_schedule.on_at(now);
    if (scheduled) m_awake = false;
    switch_screen(scheduled || m_awake);
    // Wakes at the next change, or within a minute (clock changes, the end of a wake).
    uint32_t period = 60 * 1000;
    if (const auto minutes = m_schedule.minutes_to_change(now); minutes && *minutes <= 1)
        period = 15 * 1000;
    if (m_awake) period = std::clamp<uint32_t>(m_awake_until - tick, 1000, period);
    m_window.set_timer(kTimerId, period);
}

bool ScreenKeeper::waking_input(const WindowMessage& message) const {
    return message.kind == MessageKind::ButtonDown || message.kind == MessageKind::KeyDown;
}

void ScreenKeeper::hook_message(WindowMessage& message) {
    if (message.kind == MessageKind::Timer && message.code == kTimerId) {
        check();
        message.kind = MessageKind::None;
        return;
    }
    if (m_on) {
        // A wake keeps going while the frame is used.
        if (m_awake && waking_input(message)) m_awake_until = m_window.clock().now() + kWakeMs;
        if (m_swallow_release &&
            (message.kind == MessageKind::ButtonUp || message.kind == MessageKind::KeyUp)) {
            m_swallow_release = false;
            message.kind = MessageKind::None;
        } else if (m_swallow_release && message.kind == MessageKind::PointerMove) {
            message.kind = MessageKind::None;
        }
        return;
    }
    switch (message.kind) {
        case MessageKind::ButtonDown:
        case MessageKind::KeyDown:
            m_awake = true;
            m_awake_until = m_window.clock().now() + kWakeMs;
            m_swallow_release = true;
            message.kind = MessageKind::None;
            switch_screen(true);
            m_window.set_timer(kTimerId, kWakeMs);
            break;
        case MessageKind::ButtonUp:
        case MessageKind::KeyUp:
        case MessageKind::PointerMove:
        case MessageKind::Char:
            message.kind = MessageKind::None;
            break;
        default:
            break;
    }
}

}  // namespace vistrel
