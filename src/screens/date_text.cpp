#include "screens/date_text.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <string_view>
#include <vector>

#include "platform/text.h"

namespace vistrel {

namespace {

constexpr std::u16string_view kDefaultPattern = u"{weekday} {day} {month} {year}";

// The user's LC_TIME locale (the C locale when it cannot be made), freed on scope exit.
class TimeLocale {
public:
    TimeLocale() {
        m_locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        if (!m_locale) m_locale = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    }
    ~TimeLocale() {
        if (m_locale) freelocale(m_locale);
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;

    // strftime of `format` in this locale.
    std::u16string format(const std::string& format, const std::tm& local) const {
        std::array<char, 128> buffer{};
        const size_t length =
            m_locale ? strftime_l(buffer.data(), buffer.size(), format.c_str(), &local, m_locale)
                     : strftime(buffer.data(), buffer.size(), format.c_str(), &local);
        return from_utf8(std::string_view(buffer.data(), length));
    }
    std::string time_format() const {
        return m_locale ? nl_langinfo_l(T_FMT, m_locale) : "%H:%M";
    }

private:
    locale_t m_locale = static_cast<locale_t>(0);
};

bool to_local(std::time_t time, std::tm& local) {
    return localtime_r(&time, &local) != nullptr;
}

// Entry `index` of a comma-separated list of `count` names in the language; empty when
// the language has no such list.
std::u16string name_from_list(const Properties& properties, std::u16string_view key,
                              size_t count, int index) {
    const std::u16string* list = properties.language().find(key);
    if (!list || index < 0) return {};
    std::vector<std::u16string_view> names;
    std::u16string_view rest = *list;
    for (;;) {
        const size_t comma = rest.find(u',');
        std::u16string_view name = rest.substr(0, comma);
        while (!name.empty() && name.front() == u' ') name.remove_prefix(1);
        while (!name.empty() && name.back() == u' ') name.remove_suffix(1);
        names.push_back(name);
        if (comma == std::u16string_view::npos) break;
        rest.remove_prefix(comma + 1);
    }
    if (names.size() != count || static_cast<size_t>(index) >= count) return {};
    return std::u16string(names[static_cast<size_t>(index)]);
}

}  // namespace

std::u16string long_date_text(const Properties& properties, std::time_t time) {
    std::tm local{};
    if (!to_local(time, local)) return {};
    return long_date_text(properties, local);
}

std::u16string long_date_text(const Properties& properties, std::tm local) {
    // The day of the week from the calendar date alone (no time zone applies to it).
    std::tm day{};
    day.tm_year = local.tm_year;
    day.tm_mon = local.tm_mon;
    day.tm_mday = local.tm_mday;
    day.tm_hour = 12;
    if (timegm(&day) == std::time_t(-1)) return {};
    local.tm_wday = day.tm_wday;
    local.tm_yday = day.tm_yday;
    const TimeLocale locale;
    std::u16string weekday = name_from_list(properties, u"DayNames", 7, local.tm_wday);
    if (weekday.empty()) weekday = locale.format("%A", local);
    std::u16string month = name_from_list(properties, u"MonthNames", 12, local.tm_mon);
    if (month.empty()) month = locale.format("%B", local);
    const std::u16string* given = properties.language().find(u"LongDate");
    const std::u16string_view pattern = given && !given->empty() ? *given : kDefaultPattern;

    const std::pair<std::u16string_view, std::u16string> fields[] = {
        {u"{weekday}", weekday},
        {u"{day}", to_u16(local.tm_mday)},
        {u"{month}", month},
        {u"{year}", to_u16(int64_t(local.tm_year) + 1900)},
    };
    std::u16string text;
    for (size_t i = 0; i < pattern.size();) {
        bool replaced = false;
        for (const auto& [field, value] : fields) {
            if (pattern.compare(i, field.size(), field) != 0) continue;
            text += value;
            i += field.size();
            replaced = true;
            break;
        }
        if (!replaced) text.push_back(pattern[i++]);
    }
    return text;
}

std::u16string local_time_text(std::time_t time) {
    std::tm local{};
    if (!to_local(time, local)) return {};
    const TimeLocale locale;
    std::string format = locale.time_format();
    // The time of day without seconds.
    if (const size_t t = format.find("%T"); t != std::string::npos) format.replace(t, 2, "%H:%M");
    if (const size_t r = format.find("%r"); r != std::string::npos) format.replace(r, 2, "%I:%M %p");
    if (const size_t s = format.find("%S"); s != std::string::npos) {
        size_t begin = s;
        if (begin > 0 && format[begin - 1] != '%' && format[begin - 1] != ' ') --begin;
        format.erase(begin, s + 2 - begin);
    }
    if (format.empty()) format = "%H:%M";
    return locale.format(format, local);
}

}  // namespace vistrel
