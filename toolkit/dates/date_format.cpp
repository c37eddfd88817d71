#include "toolkit/dates/date_format.h"

#include "toolkit/dates/date_format_platform.h"
#include "toolkit/text/strings.h"

namespace {

// Today's results, picture by picture: an export with a date on many pages
// formats each picture once a day instead of once a tag. The date is part of
// the key, so the first tag after midnight formats anew.
struct RememberedDate {
    std::u16string picture;
    int bufferChars = 0;
    CalendarDate date{};
    int result = 0;
    std::u16string text;
};
constexpr int rememberedCount = 8;
RememberedDate remembered[rememberedCount];
int nextToReplace = 0;

bool sameDate(const CalendarDate& a, const CalendarDate& b) {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.dayOfWeek == b.dayOfWeek;
}

const std::u16string& pick(const std::u16string* table, int size, int index) {
    static const std::u16string none;
    return index >= 0 && index < size ? table[index] : none;
}

}  // namespace

int formatDate(std::u16string_view picture, int bufferChars, const CalendarDate* date,
               std::u16string& out) {
    if (!date) date = fixedToday();
    if (date) return platform_date::format(picture, bufferChars, *date, out);
    const CalendarDate today = platform_date::localToday();
    for (const RememberedDate& entry : remembered) {
        if (entry.bufferChars == bufferChars && sameDate(entry.date, today) && entry.picture == picture) {
            out = entry.text;
            return entry.result;
        }
    }
    const int result = platform_date::format(picture, bufferChars, today, out);
    RememberedDate& entry = remembered[nextToReplace];
    nextToReplace = (nextToReplace + 1) % rememberedCount;
    entry.picture.assign(picture);
    entry.bufferChars = bufferChars;
    entry.date = today;
    entry.result = result;
    entry.text = out;
    return result;
}

std::u16string formatDatePicture(std::u16string_view picture, const CalendarDate& date,
                                 const DateNames& names) {
    std::u16string out;
    std::size_t i = 0;
    while (i < picture.size()) {
        const char16_t c = picture[i];
        if (c == u'\'') {
            // Quoted text is copied; a doubled quote stands for one quote,
            // inside quotes and outside. An open quote runs to the end.
            ++i;
            if (i < picture.size() && picture[i] == u'\'') {
                out += u'\'';
                ++i;
                continue;
            }
            while (i < picture.size()) {
                if (picture[i] == u'\'') {
                    if (i + 1 < picture.size() && picture[i + 1] == u'\'') {
                        out += u'\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                out += picture[i++];
            }
            continue;
        }
        if (c != u'd' && c != u'M' && c != u'y' && c != u'g') {
            out += c;
            ++i;
            continue;
        }
        std::size_t count = 1;
        while (i + count < picture.size() && picture[i + count] == c) ++count;
        i += count;
        switch (c) {
        case u'd':
            if (count == 1) appendNumberText(out, date.day, 1);
            else if (count == 2) appendNumberText(out, date.day, 2);
            else if (count == 3) out += pick(names.shortDays, 7, date.dayOfWeek);
            else out += pick(names.days, 7, date.dayOfWeek);
            break;
        case u'M':
            if (count == 1) appendNumberText(out, date.month, 1);
            else if (count == 2) appendNumberText(out, date.month, 2);
            else if (count == 3) out += pick(names.shortMonths, 12, date.month - 1);
            else out += pick(names.months, 12, date.month - 1);
            break;
        case u'y':
            if (count == 1) appendNumberText(out, date.year % 10, 1);
            else if (count == 2) appendNumberText(out, date.year % 100, 2);
            else appendNumberText(out, date.year, 1);
            break;
        default:
            out += names.era;
            break;
        }
    }
    return out;
}

namespace {

bool hasFixedToday = false;
CalendarDate fixedDay{};

bool leapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leapYear(year) ? 29 : days[month - 1];
}

}  // namespace

void setFixedToday(const CalendarDate* day) {
    hasFixedToday = day != nullptr;
    if (day) fixedDay = *day;
}

const CalendarDate* fixedToday() { return hasFixedToday ? &fixedDay : nullptr; }

bool makeCalendarDate(int year, int month, int day, CalendarDate& date) {
    // Windows formats no date before 1601; four digits suffice for a year.
    if (year < 1601 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month))
        return false;
    // Sakamoto's rule for the day of the week.
    static const int offsets[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    const int y = month < 3 ? year - 1 : year;
    const int dayOfWeek = (y + y / 4 - y / 100 + y / 400 + offsets[month - 1] + day) % 7;
    date = CalendarDate{year, month, day, dayOfWeek};
    return true;
}

bool calendarDateOfEpochSeconds(long long seconds, CalendarDate& date) {
    if (seconds < 0 || seconds > 253402300799LL) return false;  // up to 9999-12-31
    // Days since 1970-01-01 to a civil date (Hinnant's algorithm).
    long long z = seconds / 86400 + 719468;
    const long long era = z / 146097;
    const long long dayOfEra = z - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return makeCalendarDate(year, month, day, date);
}
