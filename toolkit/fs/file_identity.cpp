#include "toolkit/fs/file_identity.h"

#include "toolkit/text_file/text_file_platform.h"

FileMatch compareFiles(const std::u16string& a, const std::u16string& b) {
    platform_file::Identity first;
    platform_file::Identity second;
    if (!platform_file::identify(a, first) || !platform_file::identify(b, second)) {
        return FileMatch::Unknown;
    }
    return first == second ? FileMatch::Same : FileMatch::Different;
}

bool identifyFile(const std::u16string& path, FileKey& key) {
    platform_file::Identity identity;
    if (!platform_file::identify(path, identity)) return false;
    key = FileKey{identity.volume, identity.index};
    return true;
}
