// What date formatting needs of its platform: today's local date, and a
// date formatted by a picture in the user's locale. Implemented once per
// platform (date_format_win32.cpp, date_format_posix.cpp); used only by
// date_format.cpp, which remembers today's results.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/dates/date_format.h"

namespace platform_date {

CalendarDate localToday();

// formatDate for a given date.
int format(std::u16string_view picture, int bufferChars, const CalendarDate& date,
           std::u16string& out);

}  // namespace platform_date
