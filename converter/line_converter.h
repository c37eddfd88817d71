#pragma once
#include <string_view>

// Converts `currentLine` and appends the result to the product file, without
// a line end.
void convertLine();

// Converts `currentLine`, an ordinary source line, as if the line-break tag
// (tagStartSymbol, "br", tagEndSymbol) were appended to it, then writes the
// line end CR LF.
void convertLineAndBreak();

// Interprets the text of one tag; non-zero when it was recognised and its
// markup written.
int interpretTag(std::u16string_view tagText);
