// Path services: parts of paths, file-name validity, environment references,
// full paths, the program's own file and its command line.
#pragma once

#include <string>
#include <string_view>

// The separator that paths are completed with: "\" on Windows, "/" elsewhere.
extern const char16_t pathSeparator;

std::u16string directoryPart(std::u16string_view path);
std::u16string extensionPart(std::u16string_view path);
bool isValidFileName(std::u16string_view name);

// Expands %NAME% references to environment variables. Unknown names and lone
// percent signs stay as written. Returns false when the platform call fails.
bool expandEnvironment(std::u16string_view path, std::u16string& expanded);

// Makes a path absolute against the current directory and folds "." and ".."
// steps. Returns false when the platform call fails.
bool fullPath(std::u16string_view path, std::u16string& full);

// True when two full paths name the same file as far as their text tells
// (without regard to case on Windows).
bool samePath(std::u16string_view a, std::u16string_view b);

bool pathExists(const std::u16string& path);

std::u16string programFileName();

// The parameter with the given index (0 is the program) of a command line
// split by the platform's rules for this program; "" past the last one.
std::u16string commandLineParameter(std::u16string_view commandLine, int index);

// The next parameter of this process's command line after the program name.
std::u16string nextProgramParameter();
