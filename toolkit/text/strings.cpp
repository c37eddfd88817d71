// String primitives over UTF-16 text (strings.h); lower case is the
// platform's (lower_case_*.cpp).
#include "toolkit/text/strings.h"

#include <cstdint>

#include "toolkit/text/utf8_coder.h"

namespace {

using View = std::u16string_view;

std::size_t clampCount(int count, std::size_t length) {
    if (count <= 0) return 0;
    return static_cast<std::size_t>(count) < length ? static_cast<std::size_t>(count) : length;
}

}  // namespace

int textLength(View text) { return static_cast<int>(text.size()); }

std::u16string leftPart(View text, int count) {
    return std::u16string(text.substr(0, clampCount(count, text.size())));
}

std::u16string rightPart(View text, int count) {
    std::size_t n = clampCount(count, text.size());
    return std::u16string(text.substr(text.size() - n));
}

int findText(View text, View pattern, int start) {
    if (text.empty() || pattern.empty()) return 0;
    std::size_t from = start <= 1 ? 0 : static_cast<std::size_t>(start) - 1;
    if (from >= text.size()) return 0;
    std::size_t at = text.find(pattern, from);
    return at == View::npos ? 0 : static_cast<int>(at) + 1;
}

int firstCharCode(View text) { return text.empty() ? 0 : text[0]; }

void appendNumberText(std::u16string& out, std::int64_t number, int minimumDigits) {
    // Work on the unsigned magnitude so that the most negative value needs no
    // special case. The digits are written from the back of a local buffer
    // and appended at once.
    std::uint64_t magnitude = number < 0 ? 0 - static_cast<std::uint64_t>(number)
                                         : static_cast<std::uint64_t>(number);
    char16_t digits[21];
    char16_t* first = digits + 21;
    int count = 0;
    do {
        *--first = static_cast<char16_t>(u'0' + magnitude % 10);
        magnitude /= 10;
        ++count;
    } while (magnitude != 0 || (count < minimumDigits && count < 20));
    if (number < 0) *--first = u'-';
    out.append(first, static_cast<std::size_t>(digits + 21 - first));
}

std::u16string numberToText(std::int64_t number) {
    std::u16string text;
    appendNumberText(text, number);
    return text;
}

std::int64_t textToNumber(View text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    unsigned base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i < text.size() && text[i] == u'%') {
        base = 2;
        ++i;
    }
    // Unsigned arithmetic: an overflow wraps around, as the format demands.
    std::uint64_t value = 0;
    for (; i < text.size(); ++i) {
        char16_t c = text[i];
        unsigned digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else break;
        if (digit >= base) break;
        value = value * base + digit;
    }
    if (negative) value = 0 - value;
    return static_cast<std::int64_t>(value);
}

std::size_t findFolded(View text, View lowerPattern, std::size_t from) {
    for (std::size_t i = from; i + lowerPattern.size() <= text.size(); ++i) {
        std::size_t k = 0;
        while (k < lowerPattern.size()) {
            const char16_t c = text[i + k];
            const char16_t lower = c >= 0x80 ? lowerCaseChar(c) : (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
            if (lower != lowerPattern[k]) break;
            ++k;
        }
        if (k == lowerPattern.size()) return i;
    }
    return View::npos;
}

bool sameFolded(View a, View b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && lowerCaseChar(a[i]) != lowerCaseChar(b[i])) return false;
    }
    return true;
}

void appendUtf8(std::string& bytes, View text) {
    const char16_t* s = text.data();
    const char16_t* end = s + text.size();
    while (s < end) {
        unsigned char chunk[1024];
        std::size_t n = encodeUtf8(&s, end, chunk, sizeof chunk);
        bytes.append(reinterpret_cast<const char*>(chunk), n);
    }
}

std::string utf8FromText(View text) {
    std::string bytes;
    appendUtf8(bytes, text);
    return bytes;
}

std::u16string textFromUtf8(std::string_view utf8Bytes) {
    std::u16string text;
    appendUtf8AsText(reinterpret_cast<const unsigned char*>(utf8Bytes.data()), utf8Bytes.size(),
                     Utf8DecodeRules{u'\uFFFD', false}, text);
    return text;
}
