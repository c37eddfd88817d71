// Dates formatted by GetDateFormatW in the user's locale; today from the
// local clock.
#include "toolkit/date_format_platform.h"

#include <windows.h>

#include <vector>

#include "toolkit/wide_text_win32.h"

namespace platform_date {

CalendarDate localToday() {
    // The local date of the last second asked about: the system clock is a
    // cheap read, the conversion to local time is not (it consults the time
    // zone), and a date tag on every page asks many times a second.
    static ULONGLONG lastSecond = ~0ULL;
    static CalendarDate lastDate{};
    FILETIME clock;
    GetSystemTimeAsFileTime(&clock);
    const ULONGLONG second = ((static_cast<ULONGLONG>(clock.dwHighDateTime) << 32) | clock.dwLowDateTime) / 10000000;
    if (second != lastSecond) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        lastDate = CalendarDate{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek};
        lastSecond = second;
    }
    return lastDate;
}

int format(std::u16string_view picture, int bufferChars, const CalendarDate& date, std::u16string& out) {
    out.clear();
    if (bufferChars <= 0) return 0;
    const std::u16string pictureText(picture);
    SYSTEMTIME when{};
    when.wYear = static_cast<WORD>(date.year);
    when.wMonth = static_cast<WORD>(date.month);
    when.wDay = static_cast<WORD>(date.day);
    when.wDayOfWeek = static_cast<WORD>(date.dayOfWeek);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(bufferChars));
    const int written = GetDateFormatW(LOCALE_USER_DEFAULT, 0, &when, wide(pictureText), buffer.data(), bufferChars);
    if (written == 0) return 0;
    out = fromWide(buffer.data(), static_cast<std::size_t>(written - 1));
    return written;
}

}  // namespace platform_date
