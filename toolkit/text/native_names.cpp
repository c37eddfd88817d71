#include "toolkit/text/native_names.h"

#include "toolkit/text/utf8_coder.h"

std::size_t wellFormedUtf8Length(const unsigned char* bytes, std::size_t available) {
    const unsigned c = bytes[0];
    if (c < 0x80) return 1;
    std::size_t length;
    unsigned low = 0x80;   // the second byte's range, which rules out the
    unsigned high = 0xBF;  // overlong forms, surrogates and values too large
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (available < length || bytes[1] < low || bytes[1] > high) return 0;
    for (std::size_t k = 2; k < length; ++k) {
        if ((bytes[k] & 0xC0) != 0x80) return 0;
    }
    return length;
}

std::u16string textFromNativeName(std::string_view name) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(name.data());
    std::u16string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = wellFormedUtf8Length(bytes + i, name.size() - i);
        if (length == 0) {
            text += static_cast<char16_t>(0xDC00 + bytes[i++]);
            continue;
        }
        char16_t units[2];
        int count = 0;
        bool cut = false;
        decodeUtf8Character(bytes + i, length, u'\uFFFD', units, count, cut);
        text.append(units, static_cast<std::size_t>(count));
        i += length;
    }
    return text;
}

std::string nativeNameFromText(std::u16string_view text) {
    std::string name;
    name.reserve(text.size());
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    while (s < end) {
        // Only a low surrogate without its high one before it is carried:
        // a pair is taken whole below.
        if (*s >= 0xDC80 && *s <= 0xDCFF) {
            name += static_cast<char>(*s++ - 0xDC00);
            continue;
        }
        unsigned char bytes[4];
        const int count = encodeUtf8Character(s, end, bytes);
        name.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(count));
    }
    return name;
}
