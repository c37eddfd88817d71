// What the system says of a path on POSIX: the identity of the file it
// names (its device and inode, links followed), and whether anything is there.
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

bool systemPathExists(const std::u16string& path) {
    struct stat status;
    return !path.empty() && stat(nativeNameFromText(path).c_str(), &status) == 0;
}

}  // namespace platform_file
