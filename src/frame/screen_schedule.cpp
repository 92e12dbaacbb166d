#include "frame/screen_schedule.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace vistrel {

namespace {

constexpr const char* kDayNames[] = {"mon", "tue", "wed", "thu", "fri", "sat", "sun"};

int day_of(const std::string& name) {
    for (int d = 0; d < 7; ++d)
        if (name == kDayNames[d]) return d;
    return -1;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// "mon", "mon-fri", "fri-mon", "sat,sun", "sat-sun,wed" into a set of days.
bool parse_days(const std::string& token, std::bitset<7>& days) {
    days.reset();
    for (const std::string& item : split(token, ',')) {
        const size_t dash = item.find('-');
        const int first = day_of(item.substr(0, dash));
        const int last = dash == std::string::npos ? first : day_of(item.substr(dash + 1));
        if (first < 0 || last < 0) return false;
        for (int d = first;; d = (d + 1) % 7) {
            days.set(size_t(d));
            if (d == last) break;
        }
    }
    return days.any();
}

// "HH:MM" with HH 0..24 (24 only as 24:00) into minutes of the day.
bool parse_time(const std::string& text, int& minutes) {
    if (text.size() != 5 || text[2] != ':') return false;
    for (int i : {0, 1, 3, 4})
        if (!std::isdigit(static_cast<unsigned char>(text[size_t(i)]))) return false;
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int mins = (text[3] - '0') * 10 + (text[4] - '0');
    if (hours > 24 || mins > 59 || (hours == 24 && mins != 0)) return false;
    minutes = hours * 60 + mins;
    return true;
}

struct Range {
    int start = 0;
    int end = 0;
};

bool parse_ranges(const std::string& token, std::vector<Range>& ranges) {
    ranges.clear();
    for (const std::string& item : split(token, ',')) {
        const size_t dash = item.find('-');
        Range r;
        if (dash == std::string::npos || !parse_time(item.substr(0, dash), r.start) ||
            !parse_time(item.substr(dash + 1), r.end) || r.start == r.end ||
            r.start == ScreenSchedule::kMinutesPerDay)
            return false;
        ranges.push_back(r);
    }
    return !ranges.empty();
}

bool looks_like_time(const std::string& token) {
    return !token.empty() && std::isdigit(static_cast<unsigned char>(token[0]));
}

}  // namespace

void ScreenSchedule::set_range(int weekday, int start, int end) {
    if (end > start) {
        for (int m = start; m < end; ++m)
            m_on[size_t(weekday)].set(size_t(m));
        return;
    }
    // Past midnight: the rest of this day, then the next day's start.
    for (int m = start; m < kMinutesPerDay; ++m)
        m_on[size_t(weekday)].set(size_t(m));
    for (int m = 0; m < end; ++m)
        m_on[size_t((weekday + 1) % 7)].set(size_t(m));
}

std::optional<ScreenSchedule> ScreenSchedule::parse(const std::string& text, std::string& error) {
    std::istringstream in(text);
    std::string token;
    std::bitset<7> days;
    days.set();
    bool days_pending = false;
    bool any = false;
    ScreenSchedule schedule;
    std::vector<Range> ranges;
    auto fail = [&](const std::string& why) {
        error = "--screen-on \"" + text + "\": " + why +
                "; write for example \"mon-fri 07:00-08:30,17:00-23:00 sat-sun 08:00-23:00\"";
        return std::nullopt;
    };
    while (in >> token) {
        for (char& c : token)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        if (looks_like_time(token)) {
            if (!parse_ranges(token, ranges))
                return fail("\"" + token + "\" is not a list of times HH:MM-HH:MM");
            for (int d = 0; d < 7; ++d)
                if (days.test(size_t(d)))
                    for (const Range& r : ranges)
                        schedule.set_range(d, r.start, r.end);
            days_pending = false;
            any = true;
        } else {
            if (days_pending) return fail("days without times before \"" + token + "\"");
            if (!parse_days(token, days))
                return fail("\"" + token + "\" is neither days (mon-fri) nor times (HH:MM-HH:MM)");
            days_pending = true;
        }
    }
    if (days_pending) return fail("the last days have no times");
    if (!any) return fail("no times given");
    return schedule;
}

bool ScreenSchedule::on_at(WeekMinute when) const {
    const int day = ((when.weekday % 7) + 7) % 7;
    const int minute = std::clamp(when.minute, 0, kMinutesPerDay - 1);
    return m_on[size_t(day)].test(size_t(minute));
}

std::optional<int> ScreenSchedule::minutes_to_change(WeekMinute when) const {
    const bool now = on_at(when);
    WeekMinute t{((when.weekday % 7) + 7) % 7, std::clamp(when.minute, 0, kMinutesPerDay - 1)};
    for (int step = 1; step <= 7 * kMinutesPerDay; ++step) {
        if (++t.minute == kMinutesPerDay) {
            t.minute = 0;
            t.weekday = (t.weekday + 1) % 7;
        }
        if (on_at(t) != now) return step;
    }
    return std::nullopt;
}

}  // namespace vistrel
