#include "toolkit/fs/product_stream.h"

#include <windows.h>

#include "toolkit/fs/file_kind.h"
#include "toolkit/text/wide_text_win32.h"

// Decided by the name alone: opening a pipe to ask would take its one
// connection.
bool namesProductStream(const std::u16string& productPath) { return isPipeOrDevice(productPath); }

// Only written: a pipe's server may take no reads, and a device is never
// emptied.
bool openProductStream(const std::u16string& productPath, std::intptr_t& handle) {
    HANDLE stream = CreateFileW(wide(productPath), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (stream == INVALID_HANDLE_VALUE) return false;
    // A volume or a disk (\\.\C:) is no stream: a page written over its
    // blocks would wreck what is on it.
    if (GetFileType(stream) == FILE_TYPE_DISK) {
        CloseHandle(stream);
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    handle = reinterpret_cast<std::intptr_t>(stream);
    return true;
}

void closeProductStream(std::intptr_t handle) { CloseHandle(reinterpret_cast<HANDLE>(handle)); }
