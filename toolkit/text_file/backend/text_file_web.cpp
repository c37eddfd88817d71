#include "toolkit/text_file/backend/text_file_web.h"

#include <emscripten.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "toolkit/text/strings.h"
#include "toolkit/text_file/backend/open_files.h"

// The page's files, by their place in Module.pagesmithFiles; -1 when no
// entry has the path. A site's run has tens of thousands: then the worker
// keeps their places by path (files.places).
EM_JS(int, pagesmith_find_file, (const char* path), {
    const files = Module.pagesmithFiles || [];
    const wanted = UTF8ToString(path);
    if (files.places) return files.places.has(wanted) ? files.places.get(wanted) : -1;
    for (let i = 0; i < files.length; ++i) {
        if (files[i].path === wanted) return i;
    }
    return -1;
});

// An input is read, the single product written; a file the run makes (a
// site's: entry.seal) is written, then read back or written on.
EM_JS(int, pagesmith_file_kind, (int file), {
    const entry = Module.pagesmithFiles[file];
    return entry.seal ? 2 : entry.sink ? 1 : 0;
});

// A file made under the folder the worker lends to the run (Module.
// pagesmithNewFile), else -1.
EM_JS(int, pagesmith_new_file, (const char* path), {
    return Module.pagesmithNewFile ? Module.pagesmithNewFile(UTF8ToString(path)) : -1;
});

EM_JS(double, pagesmith_file_size, (int file), { return Module.pagesmithFiles[file].size; });

// A made file's written bytes become the bytes it is read from.
EM_JS(void, pagesmith_seal_file, (int file), {
    const entry = Module.pagesmithFiles[file];
    if (entry.seal) entry.seal();
});

// Bytes of an input into the module's memory: bytes read, 0 at the end, -1
// when the browser cannot read the file (it changed or went away). Each
// browser read costs milliseconds whatever its size, so the worker keeps a
// slice of the file (8 MB) outside the module's memory, and the module's
// smaller reads are served from it. Where the worker reads ahead on another
// thread, a new slice comes as a promise, which the module waits for
// suspended (see worker.js). Positions travel as doubles: exact up to 2^53,
// and a File may pass 4 GB.
EM_JS(int, pagesmith_read_file, (int file, double position, void* bytes, int count), {
    const entry = Module.pagesmithFiles[file];
    if (position >= (entry.seal ? entry.size : entry.blob.size)) return 0;
    const copy = () => {
        if (!entry.slice) return -1;
        const from = position - entry.sliceAt;
        const got = Math.min(count, entry.slice.length - from);
        HEAPU8.set(entry.slice.subarray(from, from + got), bytes);
        return got;
    };
    if (entry.slice && position >= entry.sliceAt && position < entry.sliceAt + entry.slice.length) return copy();
    const loading = Module.pagesmithLoadSlice(entry, position, count);
    return loading ? loading.then(copy) : copy();
});

// The product's bytes leave the module as they are written: the sink copies
// them, the module's buffer is reused.
EM_JS(void, pagesmith_write_file, (int file, const void* bytes, int count), {
    Module.pagesmithFiles[file].sink(HEAPU8.subarray(bytes, bytes + count));
});

EM_JS(void, pagesmith_empty_file, (int file), { Module.pagesmithFiles[file].sink(null); });

// The worker lets go of a made file's bytes (Module.pagesmithLetGo).
EM_JS(void, pagesmith_let_go, (const char* path), {
    if (Module.pagesmithLetGo) Module.pagesmithLetGo(UTF8ToString(path));
});

namespace browser_files {

namespace {

using platform_file::Handle;
using platform_file::Identity;
using platform_file::OpenMode;

using open_files::Opened;

enum Kind { Input = 0, Product = 1, Made = 2 };

// A run opens three files: lists searched in order are the quickest.
std::vector<open_files::Sharing> sharing;
std::vector<Opened> opened;
// The paths of the files made, in order, as UTF-8: the smaller in a site
// of tens of thousands of files.
std::vector<std::string> made;

int findFile(const std::u16string& path) {
    if (path.empty()) return -1;
    return pagesmith_find_file(utf8FromText(path).c_str());
}

Opened* openedAt(Handle handle) { return open_files::at(opened, handle); }

// Inputs are read; the product's sink takes writes, in order from its
// start: the product is written once, front to back. A made file is written
// the same way, read back once closed, or opened again to be written on
// from its end.
bool openFile(const std::u16string& path, OpenMode mode, Handle& handle) {
    const bool writer = mode != OpenMode::ReadOnly;
    int file = findFile(path);
    if (file < 0 && writer) {
        std::string utf8 = utf8FromText(path);
        file = pagesmith_new_file(utf8.c_str());
        if (file >= 0) made.push_back(std::move(utf8));
    }
    if (file < 0) return false;
    const int kind = pagesmith_file_kind(file);
    if (kind != Made && writer != (kind == Product)) return false;
    if (sharing.size() <= static_cast<std::size_t>(file)) sharing.resize(static_cast<std::size_t>(file) + 1);
    if (!open_files::share(sharing[static_cast<std::size_t>(file)], writer)) return false;
    if (writer && (kind == Product || mode == OpenMode::Create)) pagesmith_empty_file(file);
    handle = open_files::add(opened, file, writer);
    if (kind == Made && mode == OpenMode::ReadWrite) {
        openedAt(handle)->position = static_cast<std::int64_t>(pagesmith_file_size(file));
    }
    return true;
}

void closeFile(Handle handle) {
    Opened* o = openedAt(handle);
    if (!o) return;
    if (o->writer) pagesmith_seal_file(o->file);
    open_files::unshare(sharing[static_cast<std::size_t>(o->file)], o->writer);
    o->file = -1;
}

std::int32_t readFile(Handle handle, void* bytes, std::int32_t count) {
    Opened* o = openedAt(handle);
    if (!o || o->writer) return -1;
    if (count <= 0) return 0;
    const int got = pagesmith_read_file(o->file, static_cast<double>(o->position), bytes, count);
    if (got > 0) o->position += got;
    return got;
}

std::int32_t writeFile(Handle handle, const void* bytes, std::int32_t count) {
    Opened* o = openedAt(handle);
    if (!o || !o->writer || count <= 0) return 0;
    pagesmith_write_file(o->file, bytes, count);
    o->position += count;
    return count;
}

// A reader goes anywhere; the product stays where its writing has reached.
bool seekFile(Handle handle, std::int64_t position) {
    Opened* o = openedAt(handle);
    if (!o || position < 0) return false;
    if (o->writer) return position == o->position;
    o->position = position;
    return true;
}

std::int64_t tellFile(Handle handle) {
    Opened* o = openedAt(handle);
    return o ? o->position : -1;
}

// Nothing lies behind the product's end, so it is cut where it is.
bool cutFileHere(Handle handle) {
    Opened* o = openedAt(handle);
    return o && o->writer;
}

// Each entry is a file of its own: the page never gives one under two paths.
bool identifyFile(const std::u16string& path, Identity& identity) {
    const int file = findFile(path);
    if (file < 0) return false;
    identity.volume = 1;
    identity.index = static_cast<std::uint64_t>(file);
    return true;
}

bool fileExists(const std::u16string& path) { return findFile(path) >= 0; }

const platform_file::Backend browserBackend{openFile, closeFile, readFile,    writeFile,    seekFile,
                                            tellFile, cutFileHere, identifyFile, fileExists};

}  // namespace

const platform_file::Backend& backend() { return browserBackend; }

std::vector<std::u16string> madeFilesIn(const std::u16string& folder) {
    const std::string prefix = utf8FromText(folder);
    std::vector<std::u16string> names;
    for (const std::string& path : made) {
        if (path.size() > prefix.size() && path.compare(0, prefix.size(), prefix) == 0) {
            names.push_back(textFromUtf8(std::string_view(path).substr(prefix.size())));
        }
    }
    return names;
}

void forgetMadeFiles() { std::vector<std::string>().swap(made); }

void letGoOf(const std::u16string& path) { pagesmith_let_go(utf8FromText(path).c_str()); }

}  // namespace browser_files
