// The numbered directory scans, and the wildcard match that the platforms
// without one of their own use.
#include "toolkit/fs/directory_scan.h"

#include <map>
#include <memory>

#include "toolkit/fs/directory_scan_platform.h"
#include "toolkit/text/strings.h"

namespace {

struct Scan {
    platform_scan::Listing* listing;
    std::u16string name;  // of the current entry; empty with none
    EntryType type = NoEntry;

    explicit Scan(platform_scan::Listing* started) : listing(started) {}
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;
    ~Scan() { platform_scan::finish(listing); }
};

// Scans still open at program end are closed with the table.
std::map<int, std::unique_ptr<Scan>>& scans() {
    static std::map<int, std::unique_ptr<Scan>> table;
    return table;
}

Scan* findScan(int number) {
    auto it = scans().find(number);
    return it == scans().end() ? nullptr : it->second.get();
}

bool matchFrom(std::u16string_view pattern, std::u16string_view name) {
    // Greedy scan that returns to the last "*" on a mismatch: linear enough
    // for file names and free of the exponential recursion.
    size_t p = 0, n = 0;
    size_t starPattern = std::u16string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starPattern = p++;
            starName = n;
        } else if (p < pattern.size() &&
                   (pattern[p] == u'?' || lowerCaseChar(pattern[p]) == lowerCaseChar(name[n]))) {
            ++p;
            ++n;
        } else if (starPattern != std::u16string_view::npos) {
            p = starPattern + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

int examineDirectory(int number, const std::u16string& directory, const std::u16string& pattern) {
    finishDirectory(number);
    platform_scan::Listing* listing =
        platform_scan::start(directory, pattern.empty() ? std::u16string(u"*.*") : pattern);
    if (!listing) return 0;
    scans()[number] = std::make_unique<Scan>(listing);
    return 1;
}

int nextEntry(int number) {
    Scan* scan = findScan(number);
    if (!scan) return 0;
    scan->name.clear();
    scan->type = NoEntry;
    if (platform_scan::next(*scan->listing, scan->name, scan->type)) return 1;
    scan->name.clear();
    scan->type = NoEntry;
    return 0;
}

std::u16string entryName(int number) {
    Scan* scan = findScan(number);
    return scan ? scan->name : std::u16string();
}

int entryType(int number) {
    Scan* scan = findScan(number);
    return scan ? scan->type : NoEntry;
}

void finishDirectory(int number) { scans().erase(number); }

void finishAllDirectories() { scans().clear(); }

bool wildcardMatch(std::u16string_view pattern, std::u16string_view name) {
    if (matchFrom(pattern, name)) return true;
    size_t size = pattern.size();
    return size >= 2 && pattern[size - 2] == u'.' && pattern[size - 1] == u'*' &&
           matchFrom(pattern.substr(0, size - 2), name);
}
