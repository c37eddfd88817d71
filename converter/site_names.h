// The names and texts the site gives its pages.
#pragma once

#include <string>
#include <string_view>

// A page's file name: its number in reading order (four digits at least),
// "-", an ASCII slug of its title, ".htm"; at most 74 bytes, so that
// "index-" and the name stay within 80.
std::u16string pageFileName(long long number, std::u16string_view title);

// The title as text: tags written in it ("<b>") and blanks around it left out.
std::u16string plainTitle(std::u16string_view title);

// The UTF-8 size of `text`.
std::size_t utf8Size(std::u16string_view text);
