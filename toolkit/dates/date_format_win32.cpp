// Dates formatted by GetDateFormatW in the user's locale; today from the
// local clock.
#include "toolkit/dates/date_format_platform.h"

#include <windows.h>

#include <vector>

#include "toolkit/text/wide_text_win32.h"

namespace platform_date {

CalendarDate localToday() {
    // The local date is asked of the time zone (a costly conversion) once a
    // second at most, and at midnight. The tick count that tells when is a
    // plain memory read, where even the system clock is a call into the
    // system under Wine, and a date tag on every page asks many times a
    // second.
    static ULONGLONG validUntil = 0;
    static bool known = false;
    static CalendarDate lastDate{};
    const ULONGLONG tick = GetTickCount64();
    if (!known || tick >= validUntil) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        lastDate = CalendarDate{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek};
        const ULONGLONG sinceMidnight =
            ((now.wHour * 60ULL + now.wMinute) * 60ULL + now.wSecond) * 1000ULL + now.wMilliseconds;
        const ULONGLONG toMidnight = sinceMidnight < 86400000ULL ? 86400000ULL - sinceMidnight : 1;
        validUntil = tick + (toMidnight < 1000 ? toMidnight : 1000);
        known = true;
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
