#pragma once
#include <string_view>

// Writes one piece of plain line text to the product file, escaping ">", "<"
// and the double quote while the source is converted.
void writeText(std::u16string_view text);
