// POSIX: the lock is a non-blocking exclusive flock on the lock's file. Its
// holder removes the file before letting the lock go, so a run that opened
// the file just before sees, once it holds the lock, that the name now leads
// elsewhere or nowhere, and tries again. A file left by a killed run holds
// no lock: the next run takes it and removes it.
#include "toolkit/fs/product_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "toolkit/fs/interrupt_cleanup_posix.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace {

// The lock lies beside the file the product leads to, so that a symbolic
// link and its target share it; a product that is not there yet is taken as
// named (a relative name stays relative: its full form may pass PATH_MAX).
std::string lockFileOf(const std::u16string& productPath, ProductLockKind kind) {
    std::string target = nativeNameFromText(productPath);
    if (char* real = realpath(target.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    const std::size_t slash = target.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    return target.substr(0, nameAt) + productLockName(std::string_view(target).substr(nameAt), kind, NAME_MAX);
}

CleanupSlot cleanupSlot(ProductLockKind kind) {
    return kind == ProductLockKind::Writing ? CleanupSlot::WritingLock : CleanupSlot::WatchingLock;
}

void closeKeepingErrno(int fd) {
    const int reason = errno;
    close(fd);
    errno = reason;
}

// Opens the lock's file, for writing where it may (a file another user made
// may only be readable, and a shared lock's file still locks).
int openLockFile(const std::string& path) {
    const int flags = O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd;
    do {
        fd = open(path.c_str(), O_RDWR | flags, 0666);
        if (fd < 0 && errno == EACCES) fd = open(path.c_str(), O_RDONLY | flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

}  // namespace

bool lockProduct(const std::u16string& productPath, ProductLockKind kind, ProductLock& lock) {
    unlockProduct(lock);
    struct stat info {};
    if (stat(nativeNameFromText(productPath).c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
        return true;
    const std::string path = lockFileOf(productPath, kind);
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = openLockFile(path);
        if (fd < 0) return true;
        int locked;
        do {
            locked = flock(fd, LOCK_EX | LOCK_NB);
        } while (locked != 0 && errno == EINTR);
        struct stat held {}, named {};
        if (locked != 0 || fstat(fd, &held) != 0) {
            closeKeepingErrno(fd);
            return false;
        }
        if (lstat(path.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino) {
            lock.handle = fd;
            lock.path = textFromNativeName(path);
            lock.kind = kind;
            removeOnInterrupt(cleanupSlot(kind), path);
            return true;
        }
        close(fd);
    }
    errno = EWOULDBLOCK;
    return false;
}

void unlockProduct(ProductLock& lock) {
    if (lock.handle < 0) return;
    const int reason = errno;
    unlink(nativeNameFromText(lock.path).c_str());
    keepOnInterrupt(cleanupSlot(lock.kind));
    close(static_cast<int>(lock.handle));
    lock = ProductLock{};
    errno = reason;
}

bool productLockBusy(int systemError) { return systemError == EWOULDBLOCK; }

std::u16string productLockPath(const std::u16string& productPath, ProductLockKind kind) {
    return textFromNativeName(lockFileOf(productPath, kind));
}
