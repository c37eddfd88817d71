#include "toolkit/fs/site_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

namespace byte_file {

std::intptr_t openRead(const std::u16string& path) { return ::open(utf8FromText(path).c_str(), O_RDONLY | O_CLOEXEC); }

std::intptr_t create(const std::u16string& path) {
    return ::open(utf8FromText(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

long read(std::intptr_t file, void* bytes, long count) {
    for (;;) {
        const ssize_t got = ::read(static_cast<int>(file), bytes, static_cast<std::size_t>(count));
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

bool write(std::intptr_t file, const void* bytes, long count) {
    const char* at = static_cast<const char*>(bytes);
    while (count > 0) {
        const ssize_t put = ::write(static_cast<int>(file), at, static_cast<std::size_t>(count));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        at += put;
        count -= static_cast<long>(put);
    }
    return true;
}

bool close(std::intptr_t file) { return ::close(static_cast<int>(file)) == 0; }

}  // namespace byte_file
