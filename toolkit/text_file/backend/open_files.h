// The handles of a backend that keeps its own files (in memory, in the
// browser): a table of open files whose slot n is handle n + 1, and the
// system's sharing rule, many readers or one writer.
#pragma once

#include <cstdint>
#include <vector>

#include "toolkit/text_file/text_file_platform.h"

namespace open_files {

struct Sharing {
    int readers = 0;
    bool writer = false;
};

struct Opened {
    int file = -1;  // -1: the slot is free
    std::int64_t position = 0;
    bool writer = false;
};

// A reader's share or the writer's; false when the sharing forbids it.
inline bool share(Sharing& sharing, bool writer) {
    if (sharing.writer || (writer && sharing.readers > 0)) return false;
    if (writer) sharing.writer = true;
    else ++sharing.readers;
    return true;
}

inline void unshare(Sharing& sharing, bool writer) {
    if (writer) sharing.writer = false;
    else --sharing.readers;
}

// The first free slot takes the file; its handle.
inline platform_file::Handle add(std::vector<Opened>& opened, int file, bool writer) {
    std::size_t slot = 0;
    while (slot < opened.size() && opened[slot].file >= 0) ++slot;
    if (slot == opened.size()) opened.emplace_back();
    opened[slot] = Opened{file, 0, writer};
    return static_cast<platform_file::Handle>(slot + 1);
}

// The open file of a handle; nullptr for a handle not open.
inline Opened* at(std::vector<Opened>& opened, platform_file::Handle handle) {
    if (handle <= 0 || static_cast<std::size_t>(handle) > opened.size()) return nullptr;
    Opened& slot = opened[static_cast<std::size_t>(handle) - 1];
    return slot.file < 0 ? nullptr : &slot;
}

}  // namespace open_files
