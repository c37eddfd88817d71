// Dates on systems without GetDateFormatW: our own picture rule over the
// names the platform gives, under the same buffer rule as the Windows call.
#include "toolkit/dates/date_format_platform.h"

namespace platform_date {

int format(std::u16string_view picture, int bufferChars, const CalendarDate& date, std::u16string& out) {
    out.clear();
    std::u16string result = formatDatePicture(picture, date, localeNames());
    const int needed = static_cast<int>(result.size()) + 1;
    if (needed > bufferChars) return 0;
    out = std::move(result);
    return needed;
}

}  // namespace platform_date
