#include "toolkit/fs/site_folder.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"

namespace {

bool removeTree(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    // A junction or linked folder is removed as a name, never entered.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) return DeleteFileW(wide(path)) != 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return RemoveDirectoryW(wide(path)) != 0;
    bool removed = true;
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(path + u"\\*"), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::u16string name = fromWide(found.cFileName);
            if (name == u"." || name == u"..") continue;
            removed = removeTree(path + u"\\" + name) && removed;
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    return RemoveDirectoryW(wide(path)) != 0 && removed;
}

}  // namespace

void guardFolder(const std::u16string&) {}

void unguardFolder() {}

bool makeFolder(const std::u16string& path) { return CreateDirectoryW(wide(path), nullptr) != 0; }

bool removeFile(const std::u16string& path) { return DeleteFileW(wide(path)) != 0; }

bool removeFolderTree(const std::u16string& path) { return removeTree(path); }

bool syncFolder(const std::u16string& path) {
    // Each file is flushed; the folder's names are the file system's own
    // journal's to keep.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(wide(path + u"\\*"), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool synced = true;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        const HANDLE file = CreateFileW(wide(path + u"\\" + fromWide(found.cFileName)), GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                        nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            synced = false;
            continue;
        }
        synced = FlushFileBuffers(file) != 0 && synced;
        CloseHandle(file);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return synced;
}

bool renamePath(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(wide(from), wide(to), MOVEFILE_WRITE_THROUGH) != 0;
}

unsigned long processNumber() { return GetCurrentProcessId(); }

namespace byte_file {

namespace {

std::intptr_t handleValue(HANDLE handle) {
    return handle == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<std::intptr_t>(handle);
}

HANDLE handleOf(std::intptr_t file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

std::intptr_t openRead(const std::u16string& path) {
    return handleValue(CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::intptr_t create(const std::u16string& path) {
    return handleValue(CreateFileW(wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

long read(std::intptr_t file, void* bytes, long count) {
    DWORD got = 0;
    if (!ReadFile(handleOf(file), bytes, static_cast<DWORD>(count), &got, nullptr)) return -1;
    return static_cast<long>(got);
}

bool write(std::intptr_t file, const void* bytes, long count) {
    DWORD put = 0;
    return WriteFile(handleOf(file), bytes, static_cast<DWORD>(count), &put, nullptr) && put == static_cast<DWORD>(count);
}

bool close(std::intptr_t file) { return CloseHandle(handleOf(file)) != 0; }

}  // namespace byte_file
