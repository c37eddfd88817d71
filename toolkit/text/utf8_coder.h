// The one UTF-8 coder of the program, shared by the text files and the string
// edge conversions, so that every build writes and reads identical bytes:
// a character decoded and encoded, inline, as the line reader and the
// writer take them one at a time between their blocks of ASCII; and whole
// texts decoded and encoded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// How a decoder treats the two kinds of damage whose answer differs between
// the line reader and the edge conversion.
struct Utf8DecodeRules {
    char16_t strayByte;   // a continuation byte or 0xF8..0xFF where a lead belongs
    bool dropCutTail;     // a sequence cut by the end of input: dropped, or U+FFFD
};

// Decodes the character that starts at `bytes`, of which `available` (at
// least 1) may be read: stores one or two units at `out`, sets `units` and
// returns the bytes it takes. A lead byte whose sequence is broken by a byte
// that is not a continuation byte gives U+FFFD and takes the bytes before the
// breaking one; `cut` is set when the sequence runs past `available`. A stray
// byte gives `strayByte`. Overlong forms, surrogates and values above
// U+10FFFF give U+FFFD.
inline std::size_t decodeUtf8Character(const unsigned char* bytes, std::size_t available, char16_t strayByte,
                                       char16_t* out, int& units, bool& cut) {
    const unsigned c = bytes[0];
    units = 1;
    cut = false;
    if (c < 0x80) {
        out[0] = static_cast<char16_t>(c);
        return 1;
    }
    std::size_t length;
    std::uint32_t cp;
    if (c < 0xC0 || c >= 0xF8) {
        out[0] = strayByte;
        return 1;
    } else if (c < 0xE0) {
        length = 2;
        cp = c & 0x1F;
    } else if (c < 0xF0) {
        length = 3;
        cp = c & 0x0F;
    } else {
        length = 4;
        cp = c & 0x07;
    }
    std::size_t k = 1;
    for (; k < length && k < available; ++k) {
        const unsigned next = bytes[k];
        if ((next & 0xC0) != 0x80) break;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (k < length) {
        cut = k == available;
        out[0] = u'\uFFFD';
        return k;
    }
    static constexpr std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        out[0] = u'\uFFFD';
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
        out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        units = 2;
    } else {
        out[0] = static_cast<char16_t>(cp);
    }
    return length;
}

// Appends the UTF-16 form of `bytes` to `out`. A lead byte whose sequence is
// broken by a byte that is not a continuation byte yields U+FFFD, and the
// breaking byte starts the next character. Overlong forms, surrogates and
// values above U+10FFFF yield one U+FFFD per sequence.
void appendUtf8AsText(const unsigned char* bytes, std::size_t count,
                      const Utf8DecodeRules& rules, std::u16string& out);

// Encodes the character at *text (a pair of surrogates is one) into `out`,
// which has room for four bytes; advances *text past it and returns the
// bytes produced. An unpaired surrogate becomes EF BF BD. A pair ends at
// `end`: a text cut between its units writes each unit alone.
inline int encodeUtf8Character(const char16_t*& text, const char16_t* end, unsigned char* out) {
    std::uint32_t c = *text++;
    if (c < 0x80) {
        out[0] = static_cast<unsigned char>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
        out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c >= 0xD800 && c <= 0xDBFF && text < end && *text >= 0xDC00 && *text <= 0xDFFF) {
        const std::uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (*text++ - 0xDC00u);
        out[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
        out[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
        out[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
        out[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
        return 4;
    }
    if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // an unpaired surrogate
    out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
    out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
    out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
    return 3;
}

// Encodes whole characters from [*text, end) into `out` while they fit in
// `room` bytes; advances *text past them and returns the bytes produced. A
// room of at least 4 always makes progress. The text files' writer encodes
// in blocks around encodeUtf8Character; this plain loop serves the edge
// conversions and the code pages' writer.
inline std::size_t encodeUtf8(const char16_t** text, const char16_t* end, unsigned char* out,
                              std::size_t room) {
    const char16_t* s = *text;
    unsigned char* d = out;
    unsigned char* const stop = out + room;
    while (s < end) {
        if (stop - d >= 4) {
            d += encodeUtf8Character(s, end, d);
            continue;
        }
        // Near the end of the room: the character goes only when it fits.
        unsigned char bytes[4];
        const char16_t* next = s;
        const int count = encodeUtf8Character(next, end, bytes);
        if (count > stop - d) break;
        std::memcpy(d, bytes, static_cast<std::size_t>(count));
        d += count;
        s = next;
    }
    *text = s;
    return static_cast<std::size_t>(d - out);
}
