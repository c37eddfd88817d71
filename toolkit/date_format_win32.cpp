// Dates formatted by GetDateFormatW in the user's locale; today from the
// local clock.
#include "toolkit/date_format_platform.h"

#include <windows.h>

#include <vector>

#include "toolkit/wide_text_win32.h"

namespace platform_date {

CalendarDate localToday() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return CalendarDate{now.wYear, now.wMonth, now.wDay, now.wDayOfWeek};
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
