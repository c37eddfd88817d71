#include "converter/settings_text.h"

#include "toolkit/fs/paths.h"

bool titleRangeFromText(std::string_view text, std::int32_t& titleRange) {
    const std::size_t digitsFrom = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (text.size() == digitsFrom || text.size() - digitsFrom > 9 ||
        text.find_first_not_of("0123456789", digitsFrom) != std::string_view::npos)
        return false;
    std::int32_t value = 0;
    for (std::size_t i = digitsFrom; i < text.size(); ++i) value = value * 10 + (text[i] - '0');
    titleRange = digitsFrom ? -value : value;
    return true;
}

namespace {

int number(std::string_view digits) {
    int value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value;
}

}  // namespace

DayProblem dayFromText(std::string_view text, CalendarDate& day) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return DayProblem::NotYyyyMmDd;
    for (std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (text[i] < '0' || text[i] > '9') return DayProblem::NotYyyyMmDd;
    }
    const int year = number(text.substr(0, 4));
    if (year < 1601) return DayProblem::Before1601;
    if (!makeCalendarDate(year, number(text.substr(5, 2)), number(text.substr(8, 2)), day))
        return DayProblem::NoSuchDay;
    return DayProblem::None;
}

std::u16string productBesideSource(std::u16string_view sourcePath) {
    const std::u16string extension = extensionPart(sourcePath);
    if (extension.empty()) return std::u16string(sourcePath) + u".htm";
    return std::u16string(sourcePath.substr(0, sourcePath.size() - extension.size())) + u"htm";
}
