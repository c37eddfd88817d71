#include "converter/site_names.h"

#include "toolkit/text/strings.h"

namespace {

constexpr std::size_t longestName = 74;

}  // namespace

std::u16string plainTitle(std::u16string_view title) {
    std::u16string plain;
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
    for (const char16_t c : plainTitle(title)) {
        if (name.size() >= slugEnd) break;
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
