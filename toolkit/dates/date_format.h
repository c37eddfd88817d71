// Formats a date by a picture in the platform's date-picture syntax
// (d dd ddd dddd M MM MMM MMMM y yy yyyy g gg, text in single quotes, '' for
// one quote). Names come from the user's locale.
#pragma once

#include <string>
#include <string_view>

struct CalendarDate {
    int year;       // e.g. 2026
    int month;      // 1..12
    int day;        // 1..31
    int dayOfWeek;  // 0 = Sunday .. 6 = Saturday
};

// Formats `date` (nullptr = today, local time) into `out`. The result plus its
// terminating null must fit `bufferChars` characters; when it does not, or the
// picture is refused, returns 0 and leaves `out` empty. Otherwise returns the
// number of characters written including the terminator, as the platform
// call does.
int formatDate(std::u16string_view picture, int bufferChars, const CalendarDate* date,
               std::u16string& out);

// The names a picture can ask for, in the user's language.
struct DateNames {
    std::u16string shortDays[7];     // Sunday first
    std::u16string days[7];
    std::u16string shortMonths[12];  // January first
    std::u16string months[12];
    std::u16string era;
};

// The picture syntax above, without the buffer rule: the platform-independent
// half of formatDate on systems without GetDateFormatW.
std::u16string formatDatePicture(std::u16string_view picture, const CalendarDate& date,
                                 const DateNames& names);

// --- The day that stands for today (reproducible products) -----------------

// From now on formatDate without a date formats `day` (nullptr: today again).
void setFixedToday(const CalendarDate* day);
const CalendarDate* fixedToday();

// The date of a year, month and day, with its day of the week; false when
// no such day exists between the years 1601 and 9999.
bool makeCalendarDate(int year, int month, int day, CalendarDate& date);
// The UTC date of a count of seconds since 1970-01-01 00:00:00 UTC.
bool calendarDateOfEpochSeconds(long long seconds, CalendarDate& date);
