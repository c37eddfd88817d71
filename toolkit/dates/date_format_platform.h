// What date formatting needs of its platform: today's local date, and a
// date formatted by a picture in the user's locale. Windows formats with
// GetDateFormatW (date_format_win32.cpp); the other systems give their names
// (date_format_posix.cpp, date_format_web.cpp) to our own picture rule
// (date_format_names.cpp). Used only by date_format.cpp, which remembers
// today's results.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/dates/date_format.h"

namespace platform_date {

CalendarDate localToday();

// formatDate for a given date.
int format(std::u16string_view picture, int bufferChars, const CalendarDate& date,
           std::u16string& out);

// The user's day and month names, where the system has no GetDateFormatW.
const DateNames& localeNames();

}  // namespace platform_date
