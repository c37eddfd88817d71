// What a path names, asked without opening it, so that a FIFO or a named
// pipe without a writer is never waited for.
#pragma once

#include <string>

enum class FileKind { Missing, Regular, Directory, Pipe, Device };

// Links followed. Missing also when the system cannot tell; lastSystemError
// then holds why.
FileKind fileKind(const std::u16string& path);

// A FIFO, a socket, a named pipe or a device: opened, it may wait for its
// writer or never end, so it is read only where a stream is meant.
inline bool isPipeOrDevice(const std::u16string& path) {
    const FileKind kind = fileKind(path);
    return kind == FileKind::Pipe || kind == FileKind::Device;
}

// True when `path` names an open stream rather than a file in a folder
// (/dev/fd/N, /dev/stdin; \\.\pipe\NAME): nothing can be made beside it.
bool namesAStream(const std::u16string& path);
