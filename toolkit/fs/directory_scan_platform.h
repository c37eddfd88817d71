// What the directory scans need of their platform: a listing of one
// directory's entries that match a pattern, read one entry at a time.
// Implemented once per platform (directory_scan_win32.cpp,
// directory_scan_posix.cpp); used only by directory_scan.cpp, which keeps the
// numbered scans.
#pragma once

#include <string>

#include "toolkit/fs/directory_scan.h"

namespace platform_scan {

struct Listing;

// Starts listing `directory` for entries whose names match `pattern` (never
// empty). Null when the directory cannot be listed; a directory without a
// match gives a listing without entries.
Listing* start(const std::u16string& directory, const std::u16string& pattern);
// The next matching entry's name and type; false when none is left.
bool next(Listing& listing, std::u16string& name, EntryType& type);
void finish(Listing* listing);

}  // namespace platform_scan
