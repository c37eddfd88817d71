// Converting one line of the template or the source into the product file.
#pragma once
#include <string_view>

// Converts `currentLine` and appends the result to the product file, without
// a line end.
void convertLine();

// Converts `currentLine`, an ordinary source line, as if the line-break tag
// (tagStartSymbol, "br", tagEndSymbol) were appended to it, then writes the
// line end CR LF.
void convertLineAndBreak();

// The same for a source line that may lie elsewhere than in `currentLine`
// (text_file::readLineView): such a line is copied into `currentLine` only
// when the line-break tag must join it. Returns true when `currentLine`
// holds the line at the end, as the versions above always leave it.
bool convertLine(std::u16string_view line);
bool convertLineAndBreak(std::u16string_view line);

// Interprets the text of one tag; non-zero when it was recognised and its
// markup written.
int interpretTag(std::u16string_view tagText);
