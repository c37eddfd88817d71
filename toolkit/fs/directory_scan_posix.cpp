// Directory listings through opendir and readdir, matched with
// wildcardMatch as Windows would match them.
#include "toolkit/fs/directory_scan_platform.h"

#include <dirent.h>
#include <sys/stat.h>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace platform_scan {

struct Listing {
    DIR* dir = nullptr;
    std::string directory;  // as opened, for typing the entries
    std::u16string pattern;
};

Listing* start(const std::u16string& directory, const std::u16string& pattern) {
    const std::string nativeDirectory =
        directory.empty() ? std::string(".") : nativeNameFromText(directory);
    DIR* dir = opendir(nativeDirectory.c_str());
    if (!dir) return nullptr;
    return new Listing{dir, nativeDirectory, pattern};
}

bool next(Listing& listing, std::u16string& name, EntryType& type) {
    while (dirent* entry = readdir(listing.dir)) {
        std::u16string entryName = textFromNativeName(entry->d_name);
        if (!wildcardMatch(listing.pattern, entryName)) continue;
        std::string full = listing.directory;
        if (full.back() != '/') full += '/';
        full += entry->d_name;
        struct stat status;
        bool isDirectory = stat(full.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        name = std::move(entryName);
        type = isDirectory ? DirectoryEntry : FileEntry;
        return true;
    }
    return false;
}

void finish(Listing* listing) {
    closedir(listing->dir);
    delete listing;
}

}  // namespace platform_scan
