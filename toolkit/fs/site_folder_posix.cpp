#include "toolkit/fs/site_folder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "toolkit/text/strings.h"

namespace {

bool removeTree(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) return unlink(path.c_str()) == 0;
    DIR* folder = opendir(path.c_str());
    if (folder == nullptr) return false;
    bool removed = true;
    while (const dirent* entry = readdir(folder)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        removed = removeTree(path + "/" + name) && removed;
    }
    closedir(folder);
    return rmdir(path.c_str()) == 0 && removed;
}

}  // namespace

bool makeFolder(const std::u16string& path) { return mkdir(utf8FromText(path).c_str(), 0777) == 0; }

bool removeFile(const std::u16string& path) { return unlink(utf8FromText(path).c_str()) == 0; }

bool removeFolderTree(const std::u16string& path) { return removeTree(utf8FromText(path)); }

bool renamePath(const std::u16string& from, const std::u16string& to) {
    return std::rename(utf8FromText(from).c_str(), utf8FromText(to).c_str()) == 0;
}

unsigned long processNumber() { return static_cast<unsigned long>(getpid()); }
