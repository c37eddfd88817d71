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

bool makeFolder(const std::u16string& path) { return CreateDirectoryW(wide(path), nullptr) != 0; }

bool removeFile(const std::u16string& path) { return DeleteFileW(wide(path)) != 0; }

bool removeFolderTree(const std::u16string& path) { return removeTree(path); }

bool renamePath(const std::u16string& from, const std::u16string& to) {
    return MoveFileExW(wide(from), wide(to), MOVEFILE_WRITE_THROUGH) != 0;
}

unsigned long processNumber() { return GetCurrentProcessId(); }
