// The platform's open and save-as dialogs. Windows only, but the text
// preparation is portable and tested everywhere.
#pragma once

#include <string>
#include <string_view>

std::u16string openFileRequester(const std::u16string& title, const std::u16string& defaultFile,
                                 const std::u16string& patternText, int patternIndex);
std::u16string saveFileRequester(const std::u16string& title, const std::u16string& defaultFile,
                                 const std::u16string& patternText, int patternIndex);

// "desc|pattern|..." to the dialog's filter list: every "|" a terminator, and
// two terminators at the end.
std::u16string requesterFilterList(std::u16string_view patternText);

// The longest initial file name handed to a dialog, and the size of the
// result buffer (terminator included).
constexpr size_t maxRequesterName = 259;
constexpr size_t requesterBufferSize = 260;

// Splits a default file into the initial directory and file name at its last
// "\". A name that is not a valid file name (".\*.*") becomes empty; a long
// one is cut to maxRequesterName.
void splitDefaultFile(std::u16string_view defaultFile, std::u16string& directory,
                      std::u16string& fileName);
