// Dates in the browser: today is the browser's local day, and the names are
// those of the browser's language (navigator.language), as Intl gives them,
// as the window program takes both from the system.
#include <emscripten.h>

#include <string>

#include "toolkit/dates/date_format.h"
#include "toolkit/dates/date_format_platform.h"
#include "toolkit/text/strings.h"

// Year, month and day in one number: yyyymmdd.
EM_JS(int, pagesmith_local_day, (), {
    const now = new Date();
    return now.getFullYear() * 10000 + (now.getMonth() + 1) * 100 + now.getDate();
});

// The names, Sunday and January first, each list's entries ended by a NUL:
// short days, days, short months, months. Written as UTF-8 into `out`;
// returns the bytes needed, so that a short buffer can be offered again.
// The days are those from Sunday 2023-01-01, the months the 15th of 2023's.
EM_JS(int, pagesmith_date_names, (char* out, int room), {
    const language = (typeof navigator !== "undefined" && navigator.language) || "en-US";
    const names = [];
    const add = (options, dates) => {
        let format;
        try {
            format = new Intl.DateTimeFormat(language, Object.assign({timeZone: "UTC"}, options));
        } catch (e) {
            format = new Intl.DateTimeFormat("en-US", Object.assign({timeZone: "UTC"}, options));
        }
        for (const date of dates) names.push(format.format(date));
    };
    const days = [];
    const months = [];
    for (let i = 0; i < 7; ++i) days.push(new Date(Date.UTC(2023, 0, 1 + i)));
    for (let i = 0; i < 12; ++i) months.push(new Date(Date.UTC(2023, i, 15)));
    add({weekday: "short"}, days);
    add({weekday: "long"}, days);
    add({month: "short"}, months);
    add({month: "long"}, months);
    const end = String.fromCharCode(0);
    const text = names.join(end) + end;
    const needed = lengthBytesUTF8(text) + 1;
    if (needed <= room) stringToUTF8(text, out, room);
    return needed;
});

namespace platform_date {

const DateNames& localeNames() {
    static const DateNames names = [] {
        std::string bytes(512, '\0');
        const int needed = pagesmith_date_names(&bytes[0], static_cast<int>(bytes.size()));
        if (needed > static_cast<int>(bytes.size())) {
            bytes.assign(static_cast<std::size_t>(needed), '\0');
            pagesmith_date_names(&bytes[0], needed);
        }
        DateNames result;
        std::u16string* lists[4] = {result.shortDays, result.days, result.shortMonths, result.months};
        const int sizes[4] = {7, 7, 12, 12};
        std::size_t at = 0;
        for (int list = 0; list < 4; ++list) {
            for (int i = 0; i < sizes[list]; ++i) {
                const std::size_t end = bytes.find('\0', at);
                lists[list][i] = textFromUtf8(std::string_view(bytes).substr(at, end - at));
                at = end + 1;
            }
        }
        // As on the other systems: Gregorian names leave the era to us.
        result.era = u"A.D.";
        return result;
    }();
    return names;
}

CalendarDate localToday() {
    const int day = pagesmith_local_day();
    CalendarDate date{};
    if (!makeCalendarDate(day / 10000, day / 100 % 100, day % 100, date)) date = CalendarDate{1601, 1, 1, 1};
    return date;
}

}  // namespace platform_date
