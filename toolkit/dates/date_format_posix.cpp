#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <ctime>

#include "toolkit/dates/date_format.h"
#include "toolkit/dates/date_format_platform.h"
#include "toolkit/text/strings.h"

namespace {

// The user's LC_TIME names, looked up without touching the process locale.
struct TimeLocale {
    locale_t handle;
    bool utf8;
    TimeLocale() {
        handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
        if (handle == static_cast<locale_t>(nullptr)) {
            handle = newlocale(LC_TIME_MASK | LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
        }
        const char* codeset = nl_langinfo_l(CODESET, handle);
        utf8 = codeset && (std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0);
    }
    ~TimeLocale() { freelocale(handle); }
    std::u16string text(nl_item item) const {
        const char* bytes = nl_langinfo_l(item, handle);
        if (!bytes) return std::u16string();
        if (utf8) return textFromUtf8(bytes);
        // Single-byte locales other than UTF-8 are rare here; Latin-1 keeps
        // ASCII names intact.
        std::u16string out;
        for (const char* p = bytes; *p; ++p) out += static_cast<char16_t>(static_cast<unsigned char>(*p));
        return out;
    }
};

}  // namespace

namespace platform_date {

const DateNames& localeNames() {
    static const DateNames names = [] {
        const TimeLocale locale;
        DateNames result;
        static const nl_item shortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
        static const nl_item days[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
        static const nl_item shortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,  ABMON_5,  ABMON_6,
                                                ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
        static const nl_item months[12] = {MON_1, MON_2, MON_3, MON_4,  MON_5,  MON_6,
                                           MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
        for (int i = 0; i < 7; ++i) {
            result.shortDays[i] = locale.text(shortDays[i]);
            result.days[i] = locale.text(days[i]);
        }
        for (int i = 0; i < 12; ++i) {
            result.shortMonths[i] = locale.text(shortMonths[i]);
            result.months[i] = locale.text(months[i]);
        }
        // Gregorian locales leave the era empty; Windows writes "A.D.".
        result.era = u"A.D.";
        return result;
    }();
    return names;
}

CalendarDate localToday() {
    // The local date of the last second asked about: one conversion a
    // second, however many tags ask.
    static std::time_t lastSecond = -1;
    static CalendarDate lastDate{};
    const std::time_t now = std::time(nullptr);
    if (now != lastSecond) {
        std::tm local{};
        localtime_r(&now, &local);
        lastDate = CalendarDate{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday};
        lastSecond = now;
    }
    return lastDate;
}

}  // namespace platform_date
