#include "converter/site_names.h"

#include "toolkit/text/strings.h"

namespace {

constexpr std::size_t longestName = 74;

// The letters of Latin-1 and Latin Extended-A without their marks, so that
// "Straße" reads "strasse" rather than "stra-e"; "-" for the signs among them.
constexpr char latinLetters[] =
    "AAAAAAACEEEEIIIIDNOOOOO-OUUUUYTsaaaaaaaceeeeiiiidnooooo-ouuuuyty"
    "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGgGgGgHhHhIiIiIiIiIiIiJjKkkLlLlLlL"
    "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSsSsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs";
static_assert(sizeof latinLetters == 0x180 - 0xC0 + 1, "one letter for each of U+00C0..U+017F");

// The ASCII a character stands for in a slug, or 0 for none.
char asciiOf(char16_t c) {
    if (c < 0x80) return static_cast<char>(c);
    if (c >= 0xC0 && c < 0x180) return latinLetters[c - 0xC0];
    return 0;
}

}  // namespace

std::u16string plainTitle(std::u16string_view title) {
    std::u16string plain;
    while (!title.empty() && title.front() == u' ') title.remove_prefix(1);
    while (!title.empty() && title.back() == u' ') title.remove_suffix(1);
    bool inTag = false;
    for (const char16_t c : title) {
        if (c == u'<') inTag = true;
        if (!inTag) plain += c;
        if (c == u'>') inTag = false;
    }
    return plain;
}

// Letters and digits of ASCII, lower case; every other run (also letters
// of other scripts, which not every system and server names alike) is one
// "-". The number alone keeps names apart, so the slug only has to read well.
std::u16string pageFileName(long long number, std::u16string_view title) {
    std::u16string name;
    appendNumberText(name, number, 4);
    name += u'-';
    const std::size_t slugStart = name.size();
    const std::size_t slugEnd = longestName - 4;  // ".htm"
    for (const char16_t unit : plainTitle(title)) {
        if (name.size() >= slugEnd) break;
        const char16_t c = static_cast<char16_t>(asciiOf(unit));
        if (unit == 0xDF) name += u's';  // "ß" is "ss"
        const bool digit = c >= u'0' && c <= u'9';
        const bool lower = c >= u'a' && c <= u'z';
        const bool upper = c >= u'A' && c <= u'Z';
        if (digit || lower) {
            name += c;
        } else if (upper) {
            name += static_cast<char16_t>(c + (u'a' - u'A'));
        } else if (name.size() > slugStart && name.back() != u'-') {
            name += u'-';
        }
    }
    while (name.size() > slugStart && name.back() == u'-') name.pop_back();
    if (name.size() == slugStart) name += u"page";
    return name + u".htm";
}

std::size_t utf8Size(std::u16string_view text) {
    std::size_t size = 0;
    for (const char16_t c : text) size += c < 0x80 ? 1 : c < 0x800 || (c >= 0xD800 && c < 0xE000) ? 2 : 3;
    return size;
}
