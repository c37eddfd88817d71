// The process's standard output and error for messages and listings. The text
// files reach the standard streams through text_file::bindStandardStream.
#pragma once

#include <string_view>

// Writes UTF-8 text as it stands (a console on Windows gets it as wide text,
// so that every character shows). Returns false when the stream refused it.
bool writeStandardOutput(std::string_view utf8Text);
bool writeStandardError(std::string_view utf8Text);
