// Whole-file services of the command line: folders and sizes (replacing a
// product in one step: product_file.h).
#pragma once

#include <cstdint>
#include <string>

bool isDirectory(const std::u16string& path);

// The file's size in bytes, or -1 when it cannot be told.
std::int64_t fileSize(const std::u16string& path);
