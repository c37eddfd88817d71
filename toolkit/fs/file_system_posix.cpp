#include "toolkit/fs/file_system.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "toolkit/text/strings.h"

bool isDirectory(const std::u16string& path) {
    struct stat info {};
    return stat(utf8FromText(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t fileSize(const std::u16string& path) {
    struct stat info {};
    if (stat(utf8FromText(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<std::int64_t>(info.st_size);
}

bool replaceFile(const std::u16string& from, const std::u16string& to) {
    return std::rename(utf8FromText(from).c_str(), utf8FromText(to).c_str()) == 0;
}

bool removeFile(const std::u16string& path) { return unlink(utf8FromText(path).c_str()) == 0; }
