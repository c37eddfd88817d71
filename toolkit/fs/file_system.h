// Whole-file services of the command line: folders, sizes, and replacing a
// file by another in one step.
#pragma once

#include <cstdint>
#include <string>

bool isDirectory(const std::u16string& path);

// The file's size in bytes, or -1 when it cannot be told.
std::int64_t fileSize(const std::u16string& path);

// Puts `from` in the place of `to` in one step, so that a reader finds either
// the old file or the new one, never a part. False on failure, with the
// system's reason in lastSystemError.
bool replaceFile(const std::u16string& from, const std::u16string& to);

bool removeFile(const std::u16string& path);
