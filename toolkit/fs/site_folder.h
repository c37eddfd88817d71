// Folders the command line builds and swaps whole (a site), and files it
// removes. Each returns false with the system's reason in lastSystemError.
#pragma once

#include <cstdint>
#include <string>

bool makeFolder(const std::u16string& path);
bool removeFile(const std::u16string& path);
// The folder and everything in it; symbolic links are removed, never followed.
bool removeFolderTree(const std::u16string& path);
// Puts the folder's files and their names on disk, so that a folder renamed
// into place afterwards survives a crash whole.
bool syncFolder(const std::u16string& path);
// Renames a file or folder; `to` must not exist.
bool renamePath(const std::u16string& from, const std::u16string& to);
// Until unguardFolder, an interrupt does not leave `path`, a folder without
// subfolders, behind. Linux: SIGINT, SIGTERM or SIGHUP left at their
// default remove its files and the folder before they end the process, as a
// temporary product file is removed. Windows: Ctrl+C, Ctrl+Break or the
// console's closing make every later file operation fail, so that the build
// fails and removes the folder itself; unguardFolder then ends the process
// as the interrupt would have. Guard no folder while a file is open.
void guardFolder(const std::u16string& path);
void unguardFolder();
// Whether an interrupt is ending the guarded build (Windows): its failures
// are the interrupt's doing, not worth a message.
bool guardInterrupted();

// A number unique to this process among running ones, for names of
// temporary files and folders.
unsigned long processNumber();
// Whether a process of this machine runs under that number (in doubt, yes).
bool processRunning(unsigned long number);

// Files as bytes, for what is no text (a zip): a handle, or -1 with the
// system's reason in lastSystemError.
namespace byte_file {
std::intptr_t openRead(const std::u16string& path);
// Empties an existing file.
std::intptr_t create(const std::u16string& path);
// The bytes read, 0 at the end, -1 on a failure.
long read(std::intptr_t file, void* bytes, long count);
bool write(std::intptr_t file, const void* bytes, long count);
// False when the file's last bytes could not be written.
bool close(std::intptr_t file);
}  // namespace byte_file
