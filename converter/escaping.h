#pragma once
#include <cstddef>
#include <string_view>

// Writes one piece of plain line text to the product file, escaping ">", "<"
// and the double quote while the source is converted.
void writeText(std::u16string_view text);

// writeText of the text up to the first `stop` character, in one pass over
// it; returns the index of that character, or the length when there is none.
// When no stop came `ending` (ASCII, up to 8 characters) follows: the rest
// of a line and its line end in one call.
std::size_t writeTextUntil(std::u16string_view text, char16_t stop, std::u16string_view ending = {});
