#pragma once
// Dates and times of the properties panel: the date in the language's long form, the time
// of day in the user's time format (LC_TIME) without seconds.

#include <ctime>
#include <string>

#include "skin/properties.h"

namespace vistrel {

// `time` in local time as the language writes a date in full: its key "LongDate" is the
// pattern, in which {weekday}, {day}, {month} and {year} stand for the day's name, the day
// of the month, the month's name and the year ("{weekday}, {month} {day}, {year}"); the
// keys "DayNames" (Sunday first) and "MonthNames" list the names, separated by commas. A
// language without them gets "{weekday} {day} {month} {year}" and the names of the user's
// LC_TIME locale.
std::u16string long_date_text(const Properties& properties, std::time_t time);
// The same for a calendar date as given (years 1..9999; the fields beyond the date unused).
std::u16string long_date_text(const Properties& properties, std::tm date);

// The time of day of `time` in local time, in the LC_TIME locale's format without seconds.
std::u16string local_time_text(std::time_t time);

}  // namespace vistrel
