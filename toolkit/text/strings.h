// String primitives over UTF-16 text: parts, search, lower case, numbers,
// and the conversions to and from UTF-8 at the platform's edge.
//
// Positions are 1-based and 0 means "not found"; out-of-range positions and
// counts are clamped, so none of these operations can fail. Arguments are
// views so that the converter can pass pieces of a line without copying.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

int textLength(std::u16string_view text);
std::u16string leftPart(std::u16string_view text, int count);
std::u16string rightPart(std::u16string_view text, int count);
int findText(std::u16string_view text, std::u16string_view pattern, int start);

char16_t lowerCaseChar(char16_t c);
std::u16string lowerCase(std::u16string_view text);
// lowerCase(a) == lowerCase(b), without making either.
bool sameFolded(std::u16string_view a, std::u16string_view b);
// The index of the first `lowerPattern` (in lower case) in `text` at or
// after `from`, letter case aside, or npos. The text is folded a character
// at a time where it is compared, not copied: it may be long.
std::size_t findFolded(std::u16string_view text, std::u16string_view lowerPattern, std::size_t from);

int firstCharCode(std::u16string_view text);
std::u16string numberToText(std::int64_t number);
// numberToText appended to `out` without a temporary, padded with leading
// zeros to at least `minimumDigits` digits (at most 20).
void appendNumberText(std::u16string& out, std::int64_t number, int minimumDigits = 1);
std::int64_t textToNumber(std::u16string_view text);

// Conversions for the platform edge (command lines, console output, POSIX
// paths). Ill-formed input becomes U+FFFD.
std::string utf8FromText(std::u16string_view text);
// The same, added to the end of `bytes`.
void appendUtf8(std::string& bytes, std::u16string_view text);
std::u16string textFromUtf8(std::string_view utf8Bytes);
