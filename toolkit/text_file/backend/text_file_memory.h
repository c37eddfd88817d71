// Files kept in memory under their paths, for the fuzzers and the tests: with
// this backend in place (platform_file::useBackend(memory_files::backend()))
// the text-file service opens, reads and writes them as it would files on
// disk, under the same sharing rules, at the speed of memory.
#pragma once

#include <string>
#include <string_view>

#include "toolkit/text_file/text_file_platform.h"

namespace memory_files {

const platform_file::Backend& backend();

// Puts a file with these bytes under `path`, replacing the bytes of any file
// there.
void put(const std::u16string& path, std::string_view bytes);

// Gives the file at `path` a second name, as a hard link would.
void link(const std::u16string& alias, const std::u16string& path);

// The bytes of the file at `path`; false when there is none.
bool get(const std::u16string& path, std::string& bytes);
// The same bytes where they are kept, good until the file next changes.
bool get(const std::u16string& path, std::string_view& bytes);

// Forgets every file. No file may be open.
void clear();

// Reads deliver at most this many bytes each (at least 4; 0 for no limit),
// as a pipe or a network share may: every refill boundary then falls within
// a small file.
void setReadSize(int bytes);

}  // namespace memory_files
