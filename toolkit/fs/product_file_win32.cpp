// Windows: the lock is a handle on the product opened for writing that lets
// others only read; the page goes to a file beside the file that the product
// leads to (a symbolic link's target), which ReplaceFile puts in its place
// with the product's attributes, security and times of creation kept
// (MoveFileEx, written through, for a new product or where ReplaceFile
// cannot). Windows replaces no open file, so the lock is let go the instant
// before that step.
#include "toolkit/fs/product_file.h"

#include <windows.h>

#include <string>

#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_file_names.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

namespace {

HANDLE lockHandle(const ProductReplacement& replacement) { return reinterpret_cast<HANDLE>(replacement.lock); }

// This machine's name in temporary names: a process number says nothing of
// a process on another machine that shares the folder.
std::u16string machineName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
    return GetComputerNameW(name, &length) && length > 0 ? fromWide(name, length) : u"host";
}

bool processEnded(DWORD id) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id);
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool ended = GetExitCodeProcess(process, &code) && code != STILL_ACTIVE;
    CloseHandle(process);
    return ended;
}

// The temporary files of the product that a process of this machine left
// when it was killed before it could remove them: "PREFIX<id>" or
// "PREFIX<id>-<n>", with no such process running. Any other is left alone.
void removeDeadTemporaries(const std::u16string& folder, const std::u16string& prefix) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(wide(folder + prefix + u"*"), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::u16string name = fromWide(found.cFileName);
        if (name.size() <= prefix.size() || !sameFolded(std::u16string_view(name).substr(0, prefix.size()), prefix)) continue;
        const long long id = temporaryFileProcess(std::u16string_view(name).substr(prefix.size()));
        if (id <= 0 || id > 0xFFFFFFFFLL) continue;
        if (processEnded(static_cast<DWORD>(id))) DeleteFileW(wide(folder + name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void releaseLock(ProductReplacement& replacement) {
    if (replacement.lock == -1) return;
    const DWORD reason = GetLastError();
    CloseHandle(lockHandle(replacement));
    replacement.lock = -1;
    SetLastError(reason);
}

bool seekTo(HANDLE file, long long at) {
    LARGE_INTEGER to;
    to.QuadPart = at;
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
}

// `count` bytes from `from`'s position to `to`'s. A write the disk took only
// in part fails for want of room, which it says.
bool copyBytes(HANDLE from, HANDLE to, long long count) {
    char buffer[65536];
    while (count > 0) {
        DWORD got = 0;
        const DWORD wanted = count < static_cast<long long>(sizeof buffer) ? static_cast<DWORD>(count) : sizeof buffer;
        if (!ReadFile(from, buffer, wanted, &got, nullptr)) return false;
        if (got == 0) return true;
        DWORD put = 0;
        if (!WriteFile(to, buffer, got, &put, nullptr)) return false;
        if (put != got) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        count -= got;
    }
    return true;
}

// The finished bytes into the product itself, through the lock's handle,
// then cut to their length. The part past the product's old end goes first,
// flushed, so that the disk has given it room before any old byte changes;
// where it has none, the product is cut back to its old length, its bytes
// in every link as they were.
bool copyInto(const std::u16string& temporary, HANDLE product) {
    HANDLE from = CreateFileW(wide(temporary), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (from == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER old, finished;
    bool ok = GetFileSizeEx(product, &old) && GetFileSizeEx(from, &finished);
    const long long grown = ok ? finished.QuadPart - old.QuadPart : 0;
    if (grown > 0) {
        ok = seekTo(from, old.QuadPart) && seekTo(product, old.QuadPart) && copyBytes(from, product, grown) &&
             FlushFileBuffers(product);
        if (!ok) {
            const DWORD reason = GetLastError();
            if (seekTo(product, old.QuadPart)) SetEndOfFile(product);
            SetLastError(reason);
        }
    }
    const long long head = grown > 0 ? old.QuadPart : finished.QuadPart;
    ok = ok && seekTo(from, 0) && seekTo(product, 0) && copyBytes(from, product, head) &&
         seekTo(product, finished.QuadPart) && SetEndOfFile(product) && FlushFileBuffers(product);
    const DWORD reason = GetLastError();
    CloseHandle(from);
    SetLastError(reason);
    return ok;
}

// ".NAME.pagesmith-MACHINE-win-", with NAME cut where a name's 255 units
// would leave no room for the process number.
std::u16string temporaryPrefix(const std::u16string& name) {
    return temporaryFilePrefix<char16_t>(name, u".pagesmith-" + machineName() + u"-win-", 255);
}

// Set when the last begin failed because the folder refused a new file.
bool folderRefused = false;

}  // namespace

bool beginProductReplacement(const std::u16string& productPath, ProductReplacement& replacement) {
    replacement = ProductReplacement{};
    folderRefused = false;
    replacement.target = productPath;
    // The read-only attribute says the user may not write the file; Wine
    // would still open it for writing for its administrator.
    const DWORD attributes = GetFileAttributesW(wide(productPath));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0 &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    HANDLE product = CreateFileW(wide(productPath), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (product != INVALID_HANDLE_VALUE) {
        BY_HANDLE_FILE_INFORMATION info;
        // A device (NUL, CON) cannot be replaced: it is written as named.
        if (GetFileType(product) != FILE_TYPE_DISK || !GetFileInformationByHandle(product, &info)) {
            CloseHandle(product);
            return true;
        }
        wchar_t finalPath[MAX_PATH * 4];
        const DWORD length = GetFinalPathNameByHandleW(product, finalPath, MAX_PATH * 4, FILE_NAME_NORMALIZED);
        if (length > 0 && length < MAX_PATH * 4) replacement.target = fromWide(finalPath, length);
        replacement.lock = reinterpret_cast<std::intptr_t>(product);
        replacement.existed = true;
        replacement.copyInto = info.nNumberOfLinks > 1;
    } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
        return false;
    }

    const std::u16string folder = directoryPart(replacement.target);
    const std::u16string prefix = temporaryPrefix(replacement.target.substr(folder.size()));
    removeDeadTemporaries(folder, prefix);
    const std::u16string base = folder + prefix + numberToText(static_cast<long long>(GetCurrentProcessId()));
    for (int n = 0; n < 100; ++n) {
        const std::u16string name = n == 0 ? base : base + u"-" + numberToText(n);
        HANDLE file = CreateFileW(wide(name), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_EXISTS) continue;
        if (file == INVALID_HANDLE_VALUE) {
            folderRefused = GetLastError() == ERROR_ACCESS_DENIED;
            break;
        }
        CloseHandle(file);
        replacement.temporary = name;
        return true;
    }
    releaseLock(replacement);
    return false;
}

bool finishProductReplacement(ProductReplacement& replacement) {
    if (replacement.temporary.empty()) return true;
    if (replacement.copyInto) {
        if (!copyInto(replacement.temporary, lockHandle(replacement))) return false;
        DeleteFileW(wide(replacement.temporary));
    } else {
        HANDLE written = CreateFileW(wide(replacement.temporary), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool flushed = written != INVALID_HANDLE_VALUE && FlushFileBuffers(written);
        if (written != INVALID_HANDLE_VALUE) CloseHandle(written);
        if (!flushed) return false;
        releaseLock(replacement);
        const bool replaced =
            replacement.existed && ReplaceFileW(wide(replacement.target), wide(replacement.temporary), nullptr,
                                                REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        // A product that another writer made meanwhile is theirs.
        const DWORD flags = MOVEFILE_WRITE_THROUGH | (replacement.existed ? MOVEFILE_REPLACE_EXISTING : 0);
        if (!replaced && !MoveFileExW(wide(replacement.temporary), wide(replacement.target), flags)) {
            if (GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS)
                SetLastError(ERROR_SHARING_VIOLATION);
            return false;
        }
    }
    replacement.temporary.clear();
    releaseLock(replacement);
    return true;
}

bool productReplaceable(const std::u16string& productPath) {
    ProductReplacement trial;
    if (!beginProductReplacement(productPath, trial)) return GetLastError() == ERROR_SHARING_VIOLATION;
    abandonProductReplacement(trial);
    return true;
}

void abandonProductReplacement(ProductReplacement& replacement) {
    const DWORD reason = GetLastError();
    if (!replacement.temporary.empty()) DeleteFileW(wide(replacement.temporary));
    replacement.temporary.clear();
    releaseLock(replacement);
    SetLastError(reason);
}

std::u16string productFailureReason() {
    const DWORD reason = GetLastError();
    std::u16string text = systemErrorText(static_cast<int>(reason));
    if (folderRefused && reason == ERROR_ACCESS_DENIED) text += u": the folder cannot take a new file";
    return text;
}
