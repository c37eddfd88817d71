// The plain rules the fuzzers hold the line readers to: a file's mark as
// detectEncoding reads it, and its lines split a unit at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/text_file_platform.h"
#include "toolkit/text/utf8_coder.h"

// Where detectEncoding leaves a file at its start, and what it names.
inline std::size_t afterMark(std::string_view bytes, TextEncoding& encoding) {
    auto starts = [&](const char* mark, std::size_t length) {
        return bytes.size() >= length && bytes.compare(0, length, std::string_view(mark, length)) == 0;
    };
    if (starts("\xFF\xFE\x00\x00", 4)) return encoding = TextEncoding::Utf32LE, 4;
    if (starts("\xFF\xFE", 2)) return encoding = TextEncoding::Utf16LE, 2;
    if (starts("\xEF\xBB\xBF", 3)) return encoding = TextEncoding::Utf8, 3;
    if (starts("\xFE\xFF", 2)) return encoding = TextEncoding::Utf16BE, 2;
    if (starts("\x00\x00\xFE\xFF", 4)) return encoding = TextEncoding::Utf32BE, 4;
    return encoding = TextEncoding::Ansi, 0;
}

inline bool hasPlainRules(TextEncoding encoding) {
    return encoding == TextEncoding::Ansi || encoding == TextEncoding::Utf8 || encoding == TextEncoding::Utf16LE;
}

// Calls take(line, position after it) for every line of `bytes` from `at`,
// by the plain rules of an ANSI, UTF-8 or UTF-16LE file: the encoding's
// units one at a time up to CR, LF or NUL (CR LF is one line end) or the
// end, a line's bytes decoded as a whole, a partial last unit dropped.
template <typename Take>
void forEachPlainLine(std::string_view bytes, std::size_t at, TextEncoding encoding, std::u16string& line,
                      Take take) {
    const std::size_t unit = encoding == TextEncoding::Utf16LE ? 2 : 1;
    auto unitAt = [&](std::size_t i) -> unsigned {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
        return unit == 2 ? b(i) | b(i + 1) << 8 : b(i);
    };
    while (at < bytes.size()) {
        const std::size_t from = at;
        unsigned terminator = 0xFFFFFFFF;
        while (at + unit <= bytes.size()) {
            const unsigned c = unitAt(at);
            at += unit;
            if (c == 0x0A || c == 0x0D || c == 0x00) {
                terminator = c;
                break;
            }
        }
        const std::size_t end = terminator == 0xFFFFFFFF ? at : at - unit;
        if (terminator == 0xFFFFFFFF) at = bytes.size();
        line.clear();
        const unsigned char* first = reinterpret_cast<const unsigned char*>(bytes.data()) + from;
        if (encoding == TextEncoding::Ansi) {
            platform_file::appendAnsiAsText(first, end - from, line);
        } else if (encoding == TextEncoding::Utf8) {
            appendUtf8AsText(first, end - from, Utf8DecodeRules{u'?', terminator == 0xFFFFFFFF}, line);
        } else {
            for (std::size_t i = from; i < end; i += 2) line += static_cast<char16_t>(unitAt(i));
        }
        if (terminator == 0x0D && at + unit <= bytes.size() && unitAt(at) == 0x0A) at += unit;
        take(line, static_cast<std::int64_t>(at));
    }
}
