#pragma once
#include <string_view>

// Converts `currentLine` and appends the result to the product file, without
// a line end.
void convertLine();

// Interprets the text of one tag; non-zero when it was recognised and its
// markup written.
int interpretTag(std::u16string_view tagText);
