#include "toolkit/directory_scan.h"

#include <windows.h>

#include <map>
#include <memory>

namespace {

struct Scan {
    HANDLE handle = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data{};
    bool hasEntries = false;  // false: the directory exists, nothing matched
    bool started = false;     // the entry of FindFirstFileW has been handed out
    bool current = false;     // `data` holds the current entry

    Scan() = default;
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;
    ~Scan() {
        if (handle != INVALID_HANDLE_VALUE) FindClose(handle);
    }
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

}  // namespace

int examineDirectory(int number, const std::u16string& directory, const std::u16string& pattern) {
    finishDirectory(number);
    std::u16string searchPath = directory;
    if (!searchPath.empty() && searchPath.back() != u'\\') searchPath += u'\\';
    searchPath += pattern.empty() ? std::u16string(u"*.*") : pattern;

    auto scan = std::make_unique<Scan>();
    scan->handle = FindFirstFileW(reinterpret_cast<const wchar_t*>(searchPath.c_str()), &scan->data);
    if (scan->handle != INVALID_HANDLE_VALUE) scan->hasEntries = true;
    else if (GetLastError() != ERROR_FILE_NOT_FOUND) return 0;
    scans()[number] = std::move(scan);
    return 1;
}

int nextEntry(int number) {
    Scan* scan = findScan(number);
    if (!scan || !scan->hasEntries) return 0;
    if (!scan->started) {
        scan->started = true;
        scan->current = true;
        return 1;
    }
    if (!scan->current) return 0;
    scan->current = FindNextFileW(scan->handle, &scan->data) != 0;
    return scan->current ? 1 : 0;
}

std::u16string entryName(int number) {
    Scan* scan = findScan(number);
    if (!scan || !scan->current) return std::u16string();
    return std::u16string(reinterpret_cast<const char16_t*>(scan->data.cFileName));
}

int entryType(int number) {
    Scan* scan = findScan(number);
    if (!scan || !scan->current) return NoEntry;
    return (scan->data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? DirectoryEntry : FileEntry;
}

void finishDirectory(int number) { scans().erase(number); }

void finishAllDirectories() { scans().clear(); }
