// Dates formatted by GetDateFormatW in the user's locale.
#include "toolkit/date_format.h"

#include <windows.h>

#include <vector>

#include "toolkit/wide_text_win32.h"

int formatDate(std::u16string_view picture, int bufferChars, const CalendarDate* date,
               std::u16string& out) {
    out.clear();
    if (bufferChars <= 0) return 0;
    if (!date) date = fixedToday();
    const std::u16string pictureText(picture);
    SYSTEMTIME systemDate{};
    const SYSTEMTIME* when = nullptr;
    if (date) {
        systemDate.wYear = static_cast<WORD>(date->year);
        systemDate.wMonth = static_cast<WORD>(date->month);
        systemDate.wDay = static_cast<WORD>(date->day);
        systemDate.wDayOfWeek = static_cast<WORD>(date->dayOfWeek);
        when = &systemDate;
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(bufferChars));
    const int written = GetDateFormatW(LOCALE_USER_DEFAULT, 0, when, wide(pictureText), buffer.data(), bufferChars);
    if (written == 0) return 0;
    out = fromWide(buffer.data(), static_cast<std::size_t>(written - 1));
    return written;
}
