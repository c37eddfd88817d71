// What the text-file service needs of its platform: exclusive file handles
// with plain byte I/O, and the ANSI code page. Implemented once per platform
// (text_file_win32.cpp, text_file_posix.cpp); used only by the text-file units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "toolkit/text_file.h"

namespace platform_file {

using Handle = std::intptr_t;

enum class OpenMode {
    ReadOnly,   // an existing file, read access
    Create,     // created anew or emptied, read and write access
    ReadWrite,  // opened or created, content kept, read and write access
};

// Every open is exclusive: it fails while the file is open elsewhere, this
// program included.
bool open(const std::u16string& path, OpenMode mode, Handle& handle);
void close(Handle handle);
// Bytes read; 0 at the end of the file and on failure.
std::int32_t read(Handle handle, void* bytes, std::int32_t count);
// Bytes written as the system reports them; 0 on failure.
std::int32_t write(Handle handle, const void* bytes, std::int32_t count);
// Moves to an absolute position; returns false on failure.
bool seekTo(Handle handle, std::int64_t position);
// The current position, or -1.
std::int64_t tell(Handle handle);
bool setEndHere(Handle handle);

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
