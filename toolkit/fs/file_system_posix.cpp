#include "toolkit/fs/file_system.h"

#include <sys/stat.h>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

bool isDirectory(const std::u16string& path) {
    struct stat info {};
    return stat(nativeNameFromText(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::int64_t fileSize(const std::u16string& path) {
    struct stat info {};
    if (stat(nativeNameFromText(path).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return -1;
    return static_cast<std::int64_t>(info.st_size);
}
