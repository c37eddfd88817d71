// Files kept in memory, a backend of the text files for the fuzzers and
// the tests (text_file_memory.h).
#include "toolkit/text_file/backend/text_file_memory.h"

#include <cstring>
#include <utility>
#include <vector>

#include "toolkit/text_file/backend/open_files.h"

namespace memory_files {

namespace {

using platform_file::Handle;
using platform_file::Identity;
using platform_file::OpenMode;

using open_files::Opened;

struct File {
    std::string bytes;
    open_files::Sharing sharing;
};

// A handful of files per run: a list searched in order is the quickest.
std::vector<File> files;
std::vector<std::pair<std::u16string, int>> names;
std::vector<Opened> opened;
int readSize = 0;

int find(const std::u16string& path) {
    for (const auto& name : names) {
        if (name.first == path) return name.second;
    }
    return -1;
}

int add(const std::u16string& path) {
    files.emplace_back();
    const int number = static_cast<int>(files.size()) - 1;
    names.emplace_back(path, number);
    return number;
}

Opened* openedAt(Handle handle) { return open_files::at(opened, handle); }

bool openFile(const std::u16string& path, OpenMode mode, Handle& handle) {
    if (path.empty()) return false;
    int number = find(path);
    const bool writer = mode != OpenMode::ReadOnly;
    if (number < 0) {
        if (!writer) return false;
        number = add(path);
    }
    File& file = files[static_cast<std::size_t>(number)];
    if (!open_files::share(file.sharing, writer)) return false;
    if (mode == OpenMode::Create || mode == OpenMode::CreateNew) file.bytes.clear();
    handle = open_files::add(opened, number, writer);
    return true;
}

void closeFile(Handle handle) {
    Opened* o = openedAt(handle);
    if (!o) return;
    open_files::unshare(files[static_cast<std::size_t>(o->file)].sharing, o->writer);
    o->file = -1;
}

std::int32_t readFile(Handle handle, void* bytes, std::int32_t count) {
    Opened* o = openedAt(handle);
    if (!o) return -1;
    const std::string& data = files[static_cast<std::size_t>(o->file)].bytes;
    const std::int64_t size = static_cast<std::int64_t>(data.size());
    if (o->position >= size || count <= 0) return 0;
    if (readSize > 0 && count > readSize) count = readSize;
    const std::int64_t take = count < size - o->position ? count : size - o->position;
    std::memcpy(bytes, data.data() + o->position, static_cast<std::size_t>(take));
    o->position += take;
    return static_cast<std::int32_t>(take);
}

std::int32_t writeFile(Handle handle, const void* bytes, std::int32_t count) {
    Opened* o = openedAt(handle);
    if (!o || !o->writer || count <= 0) return 0;
    std::string& data = files[static_cast<std::size_t>(o->file)].bytes;
    const std::size_t at = static_cast<std::size_t>(o->position);
    if (data.size() < at + static_cast<std::size_t>(count)) data.resize(at + static_cast<std::size_t>(count));
    std::memcpy(&data[at], bytes, static_cast<std::size_t>(count));
    o->position += count;
    return count;
}

bool seekFile(Handle handle, std::int64_t position) {
    Opened* o = openedAt(handle);
    if (!o || position < 0) return false;
    o->position = position;
    return true;
}

std::int64_t tellFile(Handle handle) {
    Opened* o = openedAt(handle);
    return o ? o->position : -1;
}

bool cutFileHere(Handle handle) {
    Opened* o = openedAt(handle);
    if (!o || !o->writer) return false;
    files[static_cast<std::size_t>(o->file)].bytes.resize(static_cast<std::size_t>(o->position));
    return true;
}

bool identifyFile(const std::u16string& path, Identity& identity) {
    const int number = find(path);
    if (number < 0) return false;
    identity.volume = 1;
    identity.index = static_cast<std::uint64_t>(number);
    return true;
}

bool fileExists(const std::u16string& path) { return find(path) >= 0; }

const platform_file::Backend memoryBackend{openFile, closeFile, readFile,    writeFile,   seekFile,
                                           tellFile, cutFileHere, identifyFile, fileExists};

}  // namespace

const platform_file::Backend& backend() { return memoryBackend; }

void put(const std::u16string& path, std::string_view bytes) {
    int number = find(path);
    if (number < 0) number = add(path);
    files[static_cast<std::size_t>(number)].bytes.assign(bytes.data(), bytes.size());
}

void link(const std::u16string& alias, const std::u16string& path) {
    const int number = find(path);
    if (number >= 0 && find(alias) < 0) names.emplace_back(alias, number);
}

bool get(const std::u16string& path, std::string_view& bytes) {
    const int number = find(path);
    if (number < 0) return false;
    bytes = files[static_cast<std::size_t>(number)].bytes;
    return true;
}

bool get(const std::u16string& path, std::string& bytes) {
    std::string_view kept;
    if (!get(path, kept)) return false;
    bytes.assign(kept);
    return true;
}

void setReadSize(int bytes) { readSize = bytes <= 0 ? 0 : bytes < 4 ? 4 : bytes; }

void clear() {
    files.clear();
    names.clear();
    opened.clear();
}

}  // namespace memory_files
