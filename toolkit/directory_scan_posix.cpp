#include "toolkit/directory_scan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <map>
#include <memory>
#include <string>

#include "toolkit/strings.h"

namespace {

struct Scan {
    DIR* dir = nullptr;
    std::string directory;  // as opened, for typing the entries
    std::u16string pattern;
    std::u16string name;
    int type = NoEntry;

    Scan() = default;
    Scan(const Scan&) = delete;
    Scan& operator=(const Scan&) = delete;
    ~Scan() {
        if (dir) closedir(dir);
    }
};

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
    auto scan = std::make_unique<Scan>();
    scan->directory = directory.empty() ? std::string(".") : utf8FromText(directory);
    scan->pattern = pattern.empty() ? std::u16string(u"*.*") : pattern;
    scan->dir = opendir(scan->directory.c_str());
    if (!scan->dir) return 0;
    scans()[number] = std::move(scan);
    return 1;
}

int nextEntry(int number) {
    Scan* scan = findScan(number);
    if (!scan) return 0;
    scan->name.clear();
    scan->type = NoEntry;
    while (dirent* entry = readdir(scan->dir)) {
        std::u16string name = textFromUtf8(entry->d_name);
        if (!wildcardMatch(scan->pattern, name)) continue;
        std::string full = scan->directory;
        if (full.back() != '/') full += '/';
        full += entry->d_name;
        struct stat status;
        bool isDirectory = stat(full.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
        scan->name = std::move(name);
        scan->type = isDirectory ? DirectoryEntry : FileEntry;
        return 1;
    }
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
