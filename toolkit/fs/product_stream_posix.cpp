#include "toolkit/fs/product_stream.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "toolkit/text/strings.h"

namespace {

bool allDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// Whether `folder` is this process's descriptor folder: /dev/fd where it is
// a folder of its own, else what /proc/self/fd or /proc/thread-self/fd
// lead to.
bool isDescriptorFolder(const std::string& folder) {
    char* real = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    if (!real) return false;
    const std::string resolved = real;
    std::free(real);
    if (resolved == "/dev/fd") return true;
    const std::string own = "/proc/" + std::to_string(getpid()) + "/";
    if (resolved.compare(0, own.size(), own) != 0) return false;
    const std::string rest = resolved.substr(own.size());
    if (rest == "fd") return true;
    const std::size_t slash = rest.find('/');
    return rest.compare(0, 5, "task/") == 0 && slash == 4 && rest.size() > 8 &&
           rest.compare(rest.size() - 3, 3, "/fd") == 0 && allDigits(rest.substr(5, rest.size() - 8));
}

// The descriptor that `path` names, its links followed up to the first name
// of a descriptor (whose own link leads to the file it is open on, which is
// not what was named); -1 when it names none.
int namedDescriptor(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        if (path == "/dev/stdin") return STDIN_FILENO;
        if (path == "/dev/stdout") return STDOUT_FILENO;
        if (path == "/dev/stderr") return STDERR_FILENO;
        const std::size_t slash = path.rfind('/');
        const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
        const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        if (allDigits(last) && isDescriptorFolder(folder)) return std::atoi(last.c_str());
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return -1;
        std::string to(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), &to[0], to.size());
        if (length <= 0) return -1;
        to.resize(static_cast<std::size_t>(length));
        path = to[0] == '/' ? to : folder + to;
    }
    return -1;
}

}  // namespace

bool namesProductStream(const std::u16string& productPath) {
    const std::string path = utf8FromText(productPath);
    if (namedDescriptor(path) >= 0) return true;
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode);
}

bool openProductStream(const std::u16string& productPath, std::intptr_t& handle) {
    const std::string path = utf8FromText(productPath);
    const int named = namedDescriptor(path);
    int fd;
    if (named >= 0) {
        fd = fcntl(named, F_DUPFD_CLOEXEC, 3);
    } else {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode)) {
            errno = ENOTSUP;
            return false;
        }
        // A FIFO waits here for its reader, as any writer of it would.
        do {
            fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
    }
    if (fd < 0) return false;
    // A page written over a disk's blocks would wreck what is on it.
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISBLK(info.st_mode)) {
        close(fd);
        errno = ENOTSUP;
        return false;
    }
    handle = fd;
    return true;
}

void closeProductStream(std::intptr_t handle) { close(static_cast<int>(handle)); }
