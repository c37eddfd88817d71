// Directory listings through FindFirstFileW and FindNextFileW, which match
// the pattern themselves.
#include "toolkit/fs/directory_scan_platform.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"

namespace platform_scan {

struct Listing {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool hasEntries = false;  // false: the directory exists, nothing matched
    bool started = false;     // the entry of FindFirstFileW has been handed out
    bool current = false;     // `data` holds the current entry
};

Listing* start(const std::u16string& directory, const std::u16string& pattern) {
    std::u16string searchPath = directory;
    if (!searchPath.empty() && searchPath.back() != u'\\') searchPath += u'\\';
    searchPath += pattern;

    Listing* listing = new Listing;
    listing->handle = FindFirstFileW(wide(searchPath), &listing->data);
    if (listing->handle != INVALID_HANDLE_VALUE) {
        listing->hasEntries = true;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        delete listing;
        return nullptr;
    }
    return listing;
}

bool next(Listing& listing, std::u16string& name, EntryType& type) {
    if (!listing.hasEntries) return false;
    if (!listing.started) {
        listing.started = true;
        listing.current = true;
    } else if (!listing.current) {
        return false;
    } else {
        listing.current = FindNextFileW(listing.handle, &listing.data) != 0;
        if (!listing.current) return false;
    }
    name = fromWide(listing.data.cFileName);
    type = (listing.data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? DirectoryEntry : FileEntry;
    return true;
}

void finish(Listing* listing) {
    if (listing->handle != INVALID_HANDLE_VALUE) FindClose(listing->handle);
    delete listing;
}

}  // namespace platform_scan
