// POSIX: the lock is a non-blocking exclusive flock on the product's file, the
// one the text files take for a writer; the page goes to a hidden file beside
// the link's target, which rename puts in place. Until then SIGINT, SIGTERM
// and SIGHUP left at their default remove the temporary file before they end
// the process.
#include "toolkit/fs/product_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/fs/interrupt_cleanup_posix.h"
#include "toolkit/fs/product_attributes_posix.h"
#include "toolkit/fs/product_file_names.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace {

void guardTemporary(const std::string& path) { removeOnInterrupt(CleanupSlot::Temporary, path); }

void unguardTemporary() { keepOnInterrupt(CleanupSlot::Temporary); }

// Where a chain of symbolic links that leads nowhere yet would create the file.
std::string danglingLinkTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info {};
        if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
        std::string to(PATH_MAX, '\0');
        const ssize_t length = readlink(path.c_str(), &to[0], to.size());
        if (length <= 0) return path;
        to.resize(static_cast<std::size_t>(length));
        const std::size_t slash = path.rfind('/');
        if (to[0] != '/' && slash != std::string::npos) to = path.substr(0, slash + 1) + to;
        path = to;
    }
    return path;
}

void closeKeepingErrno(int fd) {
    const int reason = errno;
    close(fd);
    errno = reason;
}

// Takes the product's lock. Opening for writing also refuses a product the
// user may not write, as a plain write would; nothing is changed by it. A
// rename by another writer between the open and the lock is seen and tried
// again, so that the lock is on the file the name leads to.
bool lockExisting(const std::string& target, ProductReplacement& replacement, struct stat& info) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return false;
        int locked;
        do {
            locked = flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        struct stat named {};
        if (locked != 0 || fstat(fd, &info) != 0) {
            closeKeepingErrno(fd);
            return false;
        }
        if (stat(target.c_str(), &named) == 0 && named.st_dev == info.st_dev && named.st_ino == info.st_ino) {
            replacement.lock = fd;
            return true;
        }
        close(fd);
    }
    errno = EWOULDBLOCK;
    return false;
}

bool writeAll(int fd, const char* bytes, ssize_t count) {
    while (count > 0) {
        const ssize_t put = write(fd, bytes, static_cast<size_t>(count));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        count -= put;
    }
    return true;
}

// Room for `size` bytes in the product before its old bytes are touched:
// the blocks past its end are allocated (posix_fallocate writes them where
// the filesystem cannot allocate) and synced, so that the copy that follows
// overwrites blocks it already has. On failure the product is cut back to
// its old length, its bytes as they were. (A filesystem that writes every
// change to new blocks, btrfs or ZFS, can still run out during the copy.)
bool secureRoom(int fd, off_t size) {
    struct stat info {};
    if (fstat(fd, &info) != 0) return false;
    if (size <= info.st_size) return true;
    int failed;
    do {
        failed = posix_fallocate(fd, info.st_size, size - info.st_size);
    } while (failed == EINTR);
    if (failed == 0 && fdatasync(fd) != 0) failed = errno;
    if (failed == 0) return true;
    if (ftruncate(fd, info.st_size) != 0) errno = 0;
    errno = failed;
    return false;
}

// The finished bytes into the product itself, through the held lock's
// descriptor, then cut to their length. A product too big for the disk
// keeps its old bytes, in every link.
bool copyInto(const std::string& temporary, int productFd) {
    const int from = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) return false;
    char buffer[65536];
    struct stat finished {};
    bool ok = fstat(from, &finished) == 0 && secureRoom(productFd, finished.st_size) &&
              lseek(productFd, 0, SEEK_SET) == 0;
    off_t total = 0;
    while (ok) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        ok = writeAll(productFd, buffer, got);
        total += got;
    }
    ok = ok && ftruncate(productFd, total) == 0 && fsync(productFd) == 0;
    closeKeepingErrno(from);
    return ok;
}

// This machine's name in temporary names: a process number says nothing of
// a process on another machine that shares the folder.
std::string machineName() {
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "host";
    return name;
}

// ".NAME.pagesmith-MACHINE-", with NAME cut where the folder's longest name
// would leave no room for the process number.
std::string temporaryPrefix(const std::string& folder, const std::string& name) {
    const long longest = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    const std::string tail = ".pagesmith-" + machineName() + "-";
    return temporaryFilePrefix<char>(name, tail, longest > 0 ? static_cast<std::size_t>(longest) : NAME_MAX);
}

// Set when the last begin failed because the folder refused a new file.
bool folderRefused = false;

// The product's owner where the system lets us keep it, then its extended
// attributes with its ACL, then its permission bits, which the umask does
// not narrow.
void keepAccess(int fd, const struct stat& info, ProductReplacement& replacement) {
    if (fchown(fd, info.st_uid, info.st_gid) != 0) errno = 0;
    const int product = static_cast<int>(replacement.lock);
    fchmod(fd, carryProductAttributes(product, fd, static_cast<mode_t>(replacement.mode), replacement.notKept));
}

// The temporary files of the product that a process of this machine left
// when it was killed before it could remove them: "PREFIX<pid>" or
// "PREFIX<pid>-<n>", with no such process alive. Any other is left alone.
void removeDeadTemporaries(const std::string& folder, const std::string& prefix) {
    DIR* listing = opendir(folder.empty() ? "." : folder.c_str());
    if (!listing) return;
    while (const dirent* entry = readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        const long long pid = temporaryFileProcess(std::string_view(name).substr(prefix.size()));
        if (pid <= 0 || pid > INT_MAX) continue;
        if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        unlink((folder + name).c_str());
    }
    closedir(listing);
}

void releaseLock(ProductReplacement& replacement) {
    if (replacement.lock >= 0) closeKeepingErrno(static_cast<int>(replacement.lock));
    replacement.lock = -1;
}

}  // namespace

bool beginProductReplacement(const std::u16string& productPath, ProductReplacement& replacement) {
    replacement = ProductReplacement{};
    folderRefused = false;
    const std::string named = nativeNameFromText(productPath);
    std::string target = named;
    struct stat info {};
    if (stat(named.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            errno = EISDIR;
            return false;
        }
        // A device or a pipe (/dev/stdout) cannot be replaced: it is written as named.
        if (!S_ISREG(info.st_mode)) return true;
        if (char* real = realpath(named.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
        if (!lockExisting(target, replacement, info)) return false;
        replacement.existed = true;
        replacement.copyInto = info.st_nlink > 1;
        replacement.mode = info.st_mode & 07777;
    } else if (errno != ENOENT) {
        return false;
    } else {
        target = danglingLinkTarget(named);
    }
    replacement.target = textFromNativeName(target);

    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string prefix = temporaryPrefix(folder, target.substr(folder.size()));
    removeDeadTemporaries(folder, prefix);
    const std::string base = folder + prefix + std::to_string(getpid());
    // Owner-only until the product's access is carried over: nobody else
    // opens it meanwhile.
    const mode_t mode = replacement.existed ? 0600 : 0666;
    for (int n = 0; n < 100; ++n) {
        const std::string name = n == 0 ? base : base + "-" + std::to_string(n);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno == EEXIST) continue;
        if (fd < 0) {
            folderRefused = errno == EACCES || errno == EPERM;
            break;
        }
        if (replacement.existed) keepAccess(fd, info, replacement);
        close(fd);
        replacement.temporary = textFromNativeName(name);
        guardTemporary(name);
        return true;
    }
    releaseLock(replacement);
    return false;
}

bool finishProductReplacement(ProductReplacement& replacement) {
    if (replacement.temporary.empty()) return true;
    const std::string temporary = nativeNameFromText(replacement.temporary);
    const std::string target = nativeNameFromText(replacement.target);
    if (replacement.copyInto) {
        if (!copyInto(temporary, static_cast<int>(replacement.lock))) return false;
        unlink(temporary.c_str());
    } else {
        // On disk before its name is, so that a crash leaves the old page or
        // the new one.
        const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        const bool synced = fd >= 0 && fsync(fd) == 0;
        if (fd >= 0) closeKeepingErrno(fd);
        if (!synced) return false;
        int renamed;
        if (replacement.existed) {
            renamed = std::rename(temporary.c_str(), target.c_str());
        } else {
            // A product that another writer made meanwhile is theirs.
            renamed = renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
            if (renamed != 0 && errno == EEXIST) errno = EWOULDBLOCK;
            if (renamed != 0 && errno == EINVAL) renamed = std::rename(temporary.c_str(), target.c_str());
        }
        if (renamed != 0) return false;
    }
    replacement.temporary.clear();
    unguardTemporary();
    releaseLock(replacement);
    return true;
}

bool productReplaceable(const std::u16string& productPath) {
    ProductReplacement trial;
    if (!beginProductReplacement(productPath, trial)) return errno == EWOULDBLOCK;
    abandonProductReplacement(trial);
    return true;
}

void abandonProductReplacement(ProductReplacement& replacement) {
    const int reason = errno;
    if (!replacement.temporary.empty()) unlink(nativeNameFromText(replacement.temporary).c_str());
    replacement.temporary.clear();
    unguardTemporary();
    releaseLock(replacement);
    errno = reason;
}

std::u16string productFailureReason() {
    const int reason = errno;
    std::u16string text = systemErrorText(reason);
    if (folderRefused && (reason == EACCES || reason == EPERM)) text += u": the folder cannot take a new file";
    return text;
}
