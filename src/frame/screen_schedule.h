#pragma once
// When the frame's screen is on: time ranges for every day, or for the days named before
// them, for example "07:00-23:00" or "mon-fri 07:00-08:30,17:00-23:00 sat-sun 08:00-23:00".
// A range whose end is before its start runs past midnight into the next day.

#include <array>
#include <bitset>
#include <optional>
#include <string>

namespace vistrel {

// A moment in local time: day of the week (0 Monday .. 6 Sunday) and minute of the day.
struct WeekMinute {
    int weekday = 0;
    int minute = 0;
};

class ScreenSchedule {
public:
    static constexpr int kMinutesPerDay = 24 * 60;

    // The schedule written in `text`; nothing, with one line in `error`, when it is wrong.
    static std::optional<ScreenSchedule> parse(const std::string& text, std::string& error);

    bool on_at(WeekMinute when) const;
    // Minutes from `when` until the screen next turns on or off; nothing when it never does.
    std::optional<int> minutes_to_change(WeekMinute when) const;

private:
    void set_range(int weekday, int start, int end);
    std::array<std::bitset<kMinutesPerDay>, 7> m_on;
};

}  // namespace vistrel
