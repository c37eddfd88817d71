// A product that names a stream rather than a file in a folder: nothing can
// be made beside it and nothing may take its place, so it is written
// through, at the stream's own position, as standard output is. On POSIX:
// a name of one of the process's own descriptors (/dev/stdout, /dev/stderr,
// /dev/fd/N, /proc/self/fd/N, or a link to one), whatever file the
// descriptor is open on, and any FIFO, socket or device. On Windows: a
// device or pipe name (NUL, CON, COM1, \\.\pipe\NAME).
#pragma once

#include <cstdint>
#include <string>

bool namesProductStream(const std::u16string& productPath);

// Opens it for writing without emptying it. A name of an open descriptor
// gives that descriptor (a copy of it): its position and its appending are
// the ones the shell opened it with, so that a page written through
// /dev/stdout lands between what others write there before and after. False,
// with the system's reason in lastSystemError, when it cannot be opened, and
// for a disk or a volume (a block device), which it refuses.
bool openProductStream(const std::u16string& productPath, std::intptr_t& handle);
void closeProductStream(std::intptr_t handle);
