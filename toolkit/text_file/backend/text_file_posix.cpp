// POSIX file primitives. Windows' sharing rules are emulated with
// non-blocking flocks, which also conflict between two opens of one file
// inside this process: a reader takes a shared lock, a writer an exclusive
// one. The ANSI code page is Windows-1252, mapped exactly as Windows maps it.
#include "toolkit/text_file/text_file_platform.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace platform_file {

namespace {

// 0x80..0x9F of Windows-1252; the five bytes it leaves undefined map to the
// control characters of the same value, as Windows does.
const char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Cp1252Table {
    char16_t wide[256];
    Cp1252Table() {
        for (int b = 0; b < 256; ++b) {
            wide[b] = (b & 0xE0) == 0x80 ? cp1252High[b - 0x80] : static_cast<char16_t>(b);
        }
    }
};

const Cp1252Table cp1252;

unsigned char cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (int i = 0; i < 32; ++i) {
        if (cp1252High[i] == c) return static_cast<unsigned char>(0x80 + i);
    }
    return '?';
}

int descriptor(Handle handle) { return static_cast<int>(handle); }

bool lock(int fd, int kind) {
    int result;
    do {
        result = flock(fd, kind | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

bool isRegularFile(int fd) {
    struct stat info;
    return fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

int openLocked(const std::string& path, int flags, int lockKind = LOCK_EX) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return -1;
    struct stat info {};
    // A folder opens fine here but is no file; Windows refuses it too.
    // Devices and pipes (/dev/null, /dev/stdout) are shared by nature and
    // are not locked.
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode) ||
        (S_ISREG(info.st_mode) && !lock(fd, lockKind))) {
        const int reason = S_ISDIR(info.st_mode) ? EISDIR : errno;
        ::close(fd);
        errno = reason;
        return -1;
    }
    return fd;
}

bool openFile(const std::u16string& path, OpenMode mode, Handle& handle) {
    std::string nativePath = nativeNameFromText(path);
    if (nativePath.empty()) return false;
    int fd = -1;
    switch (mode) {
    case OpenMode::ReadOnly:
        // A FIFO without a writer would hold the open; read, it ends at once.
        fd = openLocked(nativePath, O_RDONLY | O_NONBLOCK, LOCK_SH);
        if (fd >= 0) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
        break;
    case OpenMode::ReadWrite:
        fd = openLocked(nativePath, O_RDWR | O_CREAT);
        break;
    case OpenMode::CreateNew:
        // O_EXCL makes a new regular file or fails: nothing to check, lock
        // or empty.
        do {
            fd = ::open(nativePath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } while (fd < 0 && errno == EINTR);
        break;
    case OpenMode::Create:
        // Emptied only once the lock is held, so that a file open elsewhere
        // is left intact when the create fails.
        fd = openLocked(nativePath, O_RDWR | O_CREAT);
        if (fd < 0) {
            // The reason of the create stands when there is no file to write.
            const int reason = errno;
            fd = openLocked(nativePath, O_WRONLY);
            if (fd < 0 && errno == ENOENT) errno = reason;
        }
        if (fd >= 0 && isRegularFile(fd) && ftruncate(fd, 0) != 0) {
            ::close(fd);
            fd = -1;
        }
        break;
    }
    if (fd < 0) return false;
    handle = fd;
    return true;
}

void closeFile(Handle handle) { ::close(descriptor(handle)); }

std::int32_t readFile(Handle handle, void* bytes, std::int32_t count) {
    ssize_t got;
    do {
        got = ::read(descriptor(handle), bytes, static_cast<size_t>(count));
    } while (got < 0 && errno == EINTR);
    return got < 0 ? -1 : static_cast<std::int32_t>(got);
}

// A product is synced before it takes its name. Asking the disk to start on
// each few megabytes as they are written lets that sync wait only for the
// last of them, where it would otherwise wait for the whole page at the end.
void startWritingBack(int fd, ssize_t justWritten) {
#ifdef __linux__
    constexpr off_t step = off_t(4) << 20;
    const off_t at = lseek(fd, 0, SEEK_CUR);
    if (at > 0 && at / step != (at - justWritten) / step)
        sync_file_range(fd, (at / step - 1) * step, step, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd, (void)justWritten;
#endif
}

std::int32_t writeFile(Handle handle, const void* bytes, std::int32_t count) {
    ssize_t put;
    do {
        put = ::write(descriptor(handle), bytes, static_cast<size_t>(count));
    } while (put < 0 && errno == EINTR);
    if (put > 0) startWritingBack(descriptor(handle), put);
    return put < 0 ? 0 : static_cast<std::int32_t>(put);
}

bool seekFile(Handle handle, std::int64_t position) {
    return lseek(descriptor(handle), static_cast<off_t>(position), SEEK_SET) >= 0;
}

std::int64_t tellFile(Handle handle) {
    off_t at = lseek(descriptor(handle), 0, SEEK_CUR);
    return at < 0 ? -1 : static_cast<std::int64_t>(at);
}

bool cutFileHere(Handle handle) {
    off_t at = lseek(descriptor(handle), 0, SEEK_CUR);
    return at >= 0 && ftruncate(descriptor(handle), at) == 0;
}

const Backend systemBackend{openFile, closeFile, readFile,    writeFile,
                            seekFile, tellFile,  cutFileHere, identifySystemFile,
                            systemPathExists};

}  // namespace

const Backend& systemFiles() { return systemBackend; }

const char16_t* ansiDecodeTable() { return cp1252.wide; }

void appendAnsiAsText(const unsigned char* bytes, std::size_t count, std::u16string& out) {
    const std::size_t base = out.size();
    out.resize(base + count);
    char16_t* d = &out[0] + base;
    for (std::size_t i = 0; i < count; ++i) d[i] = cp1252.wide[bytes[i]];
}

std::size_t encodeAnsi(const char16_t** text, const char16_t* end, unsigned char* out,
                       std::size_t room) {
    const char16_t* s = *text;
    std::size_t n = static_cast<std::size_t>(end - s) < room ? static_cast<std::size_t>(end - s)
                                                             : room;
    for (std::size_t i = 0; i < n; ++i) {
        char16_t c = s[i];
        out[i] = c < 0x80 ? static_cast<unsigned char>(c) : cp1252Byte(c);
    }
    *text = s + n;
    return n;
}

bool standardHandle(StandardStream stream, Handle& handle) {
    handle = stream == StandardStream::Input ? STDIN_FILENO : STDOUT_FILENO;
    return true;
}

}  // namespace platform_file
