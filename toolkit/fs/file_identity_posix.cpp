// A file's identity on POSIX: its device and inode, links followed.
#include <sys/stat.h>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file_platform.h"

namespace platform_file {

bool identifySystemFile(const std::u16string& path, Identity& identity) {
    if (path.empty()) return false;
    struct stat info;
    if (stat(nativeNameFromText(path).c_str(), &info) != 0) return false;
    identity.volume = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

}  // namespace platform_file
