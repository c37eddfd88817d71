#include "toolkit/fs/file_kind.h"

#include <sys/stat.h>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

FileKind fileKind(const std::u16string& path) {
    struct stat info {};
    if (stat(nativeNameFromText(path).c_str(), &info) != 0) return FileKind::Missing;
    if (S_ISREG(info.st_mode)) return FileKind::Regular;
    if (S_ISDIR(info.st_mode)) return FileKind::Directory;
    if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileKind::Pipe;
    return FileKind::Device;
}

bool namesAStream(const std::u16string& path) {
    for (const std::u16string_view prefix : {u"/dev/fd/", u"/proc/self/fd/"}) {
        if (path.compare(0, prefix.size(), prefix) == 0) return true;
    }
    return path == u"/dev/stdin";
}
