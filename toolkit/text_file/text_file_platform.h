// What the text-file service needs of the place its files live: file handles
// with plain byte I/O and the files' identities, and the ANSI code page. The
// system's files are one such place (text_file_win32.cpp,
// text_file_posix.cpp); files kept in memory are another
// (text_file_memory.cpp). Used only by the text_file*.cpp units and, from
// the room above, by the files' identity and presence (fs/file_identity.cpp,
// fs/paths.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/text_file/text_file.h"

namespace platform_file {

using Handle = std::intptr_t;

enum class OpenMode {
    ReadOnly,   // an existing file, read access; other readers may read too
    Create,     // created anew or emptied, read and write access, no sharing
    ReadWrite,  // opened or created, content kept, read and write access, no sharing
    CreateNew,  // made anew, failing when it exists; read and write access, not locked
};

// A file as the system knows it, whatever path leads there: the volume and
// the file's number on it.
struct Identity {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

inline bool operator==(const Identity& a, const Identity& b) {
    return a.volume == b.volume && a.index == b.index;
}

// The primitives of one place where files live. Readers share with readers;
// a writer shares with nobody: an open that would break this fails, also
// within this program.
struct Backend {
    bool (*open)(const std::u16string& path, OpenMode mode, Handle& handle);
    void (*close)(Handle handle);
    // Bytes read; 0 at the end of the file, -1 when the system read failed.
    std::int32_t (*read)(Handle handle, void* bytes, std::int32_t count);
    // Bytes written as the system reports them; 0 on failure.
    std::int32_t (*write)(Handle handle, const void* bytes, std::int32_t count);
    // Moves to an absolute position; returns false on failure.
    bool (*seekTo)(Handle handle, std::int64_t position);
    // The current position, or -1.
    std::int64_t (*tell)(Handle handle);
    bool (*setEndHere)(Handle handle);
    // The identity of the existing file that `path` names, links followed;
    // false when there is none or it cannot be had.
    bool (*identify)(const std::u16string& path, Identity& identity);
    // Whether anything is there under `path`, openable or not.
    bool (*exists)(const std::u16string& path);
};

// The system's files.
const Backend& systemFiles();

// Every later open, identity and call goes to `backend`; returns the one it
// replaces. Tests put a failing backend in place to see read errors, and the
// fuzzers a backend in memory. Switch only while no file is open.
const Backend& useBackend(const Backend& backend);

// The installed backend's primitives, as the text-file units call them.
extern const Backend* installedBackend;

inline bool open(const std::u16string& path, OpenMode mode, Handle& handle) {
    return installedBackend->open(path, mode, handle);
}
inline void close(Handle handle) { installedBackend->close(handle); }
inline std::int32_t read(Handle handle, void* bytes, std::int32_t count) {
    return installedBackend->read(handle, bytes, count);
}
inline std::int32_t write(Handle handle, const void* bytes, std::int32_t count) {
    return installedBackend->write(handle, bytes, count);
}
inline bool seekTo(Handle handle, std::int64_t position) {
    return installedBackend->seekTo(handle, position);
}
inline std::int64_t tell(Handle handle) { return installedBackend->tell(handle); }
inline bool setEndHere(Handle handle) { return installedBackend->setEndHere(handle); }
inline bool identify(const std::u16string& path, Identity& identity) {
    return installedBackend->identify(path, identity);
}
inline bool exists(const std::u16string& path) { return installedBackend->exists(path); }

// The system's identity of a file, and whether anything is there under a
// path (backend/system_identity_win32.cpp, _posix.cpp); fs/ asks the same.
bool identifySystemFile(const std::u16string& path, Identity& identity);
bool systemPathExists(const std::u16string& path);

// The process's standard input or output as a handle; it stays the
// process's and is never closed.
bool standardHandle(StandardStream stream, Handle& handle);

// The UTF-16 character of each byte when the ANSI code page has one byte per
// character; null for a multi-byte code page.
const char16_t* ansiDecodeTable();
// Appends the UTF-16 form of bytes in the ANSI code page.
void appendAnsiAsText(const unsigned char* bytes, std::size_t count, std::u16string& out);
// Encodes whole characters from [*text, end) in the ANSI code page into at
// most `room` bytes; characters the code page lacks become its default
// character. Advances *text and returns the bytes produced; a room of at
// least 8 always makes progress.
std::size_t encodeAnsi(const char16_t** text, const char16_t* end, unsigned char* out,
                       std::size_t room);

}  // namespace platform_file
