// Numbered directory listings by wildcard pattern ("*" and "?", letters
// matched without regard to case).
#pragma once

#include <string>
#include <string_view>

enum EntryType : int { NoEntry = 0, FileEntry = 1, DirectoryEntry = 2 };

int examineDirectory(int number, const std::u16string& directory, const std::u16string& pattern);
int nextEntry(int number);
std::u16string entryName(int number);
int entryType(int number);
void finishDirectory(int number);
void finishAllDirectories();

// Wildcard match used by the POSIX backend; exposed for tests. As on Windows,
// a pattern ending in ".*" also takes the name without that part ("*.*"
// matches README).
bool wildcardMatch(std::u16string_view pattern, std::u16string_view name);
