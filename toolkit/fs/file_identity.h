// Whether two paths name one file. The file's identity decides (its volume
// and its number there), so links, linked folders, short names and every
// other spelling of one file agree.
#pragma once

#include <string>

enum class FileMatch {
    Same,
    Different,
    Unknown,  // one of them does not exist or cannot be identified
};

FileMatch compareFiles(const std::u16string& a, const std::u16string& b);
