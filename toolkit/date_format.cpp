#include "toolkit/date_format.h"

#include "toolkit/strings.h"

namespace {

const std::u16string& pick(const std::u16string* table, int size, int index) {
    static const std::u16string none;
    return index >= 0 && index < size ? table[index] : none;
}

}  // namespace

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
