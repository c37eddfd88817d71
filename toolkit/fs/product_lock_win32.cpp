// Windows: the lock is a hidden file beside the product opened without
// sharing and deleted on close, so the system removes it when its holder
// ends, however it ends, and a second opener is refused with a sharing
// violation.
#include "toolkit/fs/product_lock.h"

#include <windows.h>

#include <string>

#include "toolkit/fs/paths.h"
#include "toolkit/text/wide_text_win32.h"

namespace {

// Beside the file or folder the product leads to, so that a symbolic link
// and its target share the lock; a product that is not there yet is taken as
// named.
std::u16string lockFileOf(const std::u16string& productPath, ProductLockKind kind) {
    std::u16string target = productPath;
    HANDLE product = CreateFileW(wide(productPath), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (product != INVALID_HANDLE_VALUE) {
        wchar_t finalPath[MAX_PATH * 4];
        const DWORD length = GetFinalPathNameByHandleW(product, finalPath, MAX_PATH * 4, FILE_NAME_NORMALIZED);
        if (length > 0 && length < MAX_PATH * 4) target = fromWide(finalPath, length);
        CloseHandle(product);
    }
    const std::u16string folder = directoryPart(target);
    return folder + productLockName(std::u16string_view(target).substr(folder.size()), kind, 255);
}

// A device (NUL, CON) is written as named, with no file beside it.
bool isDiskFile(const std::u16string& path) {
    HANDLE file = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return true;
    const bool disk = GetFileType(file) == FILE_TYPE_DISK;
    CloseHandle(file);
    return disk;
}

}  // namespace

bool lockProduct(const std::u16string& productPath, ProductLockKind kind, ProductLock& lock) {
    unlockProduct(lock);
    const DWORD attributes = GetFileAttributesW(wide(productPath));
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND) return true;
    const bool folder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (attributes != INVALID_FILE_ATTRIBUTES && !folder && !isDiskFile(productPath)) return true;
    const std::u16string path = lockFileOf(productPath, kind);
    HANDLE file = CreateFileW(wide(path), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        // Another holder, or its file on its way out.
        if (GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_ACCESS_DENIED) {
            if (GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES) {
                SetLastError(ERROR_SHARING_VIOLATION);
                return false;
            }
        }
        return true;
    }
    lock.handle = reinterpret_cast<std::intptr_t>(file);
    lock.path = path;
    return true;
}

void unlockProduct(ProductLock& lock) {
    if (lock.handle == -1) return;
    const DWORD reason = GetLastError();
    CloseHandle(reinterpret_cast<HANDLE>(lock.handle));
    lock = ProductLock{};
    SetLastError(reason);
}

bool productLockBusy(int systemError) { return systemError == ERROR_SHARING_VIOLATION; }

std::u16string productLockPath(const std::u16string& productPath, ProductLockKind kind) {
    return lockFileOf(productPath, kind);
}
