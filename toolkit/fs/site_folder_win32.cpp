#include "toolkit/fs/site_folder.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"
#include "toolkit/text_file/text_file_platform.h"

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

// An interrupt (Ctrl+C, Ctrl+Break, the console closed) reaches a handler on
// a thread of its own while the build goes on, and files the build holds
// open cannot be removed. So the handler only marks the guard interrupted:
// from then on every open, read and write of the text files and of
// byte_file fails, the build ends as a failed one does, removing its folder,
// and unguardFolder ends the process with the interrupt's status. Should the
// build not get there in ten seconds, the system's own handler ends it, and
// the next build removes the folder.
enum : LONG { Off, Guarding, Interrupted };
volatile LONG guardState = Off;
const platform_file::Backend* unguarded = nullptr;

bool interrupted() {
    if (guardState != Interrupted) return false;
    SetLastError(ERROR_OPERATION_ABORTED);
    return true;
}

bool guardedOpen(const std::u16string& path, platform_file::OpenMode mode, platform_file::Handle& handle) {
    return !interrupted() && unguarded->open(path, mode, handle);
}
void guardedClose(platform_file::Handle handle) { unguarded->close(handle); }
std::int32_t guardedRead(platform_file::Handle handle, void* bytes, std::int32_t count) {
    return interrupted() ? -1 : unguarded->read(handle, bytes, count);
}
std::int32_t guardedWrite(platform_file::Handle handle, const void* bytes, std::int32_t count) {
    return interrupted() ? 0 : unguarded->write(handle, bytes, count);
}
bool guardedSeek(platform_file::Handle handle, std::int64_t position) { return unguarded->seekTo(handle, position); }
std::int64_t guardedTell(platform_file::Handle handle) { return unguarded->tell(handle); }
bool guardedCut(platform_file::Handle handle) { return unguarded->setEndHere(handle); }
bool guardedIdentify(const std::u16string& path, platform_file::Identity& identity) {
    return unguarded->identify(path, identity);
}
bool guardedExists(const std::u16string& path) { return unguarded->exists(path); }

const platform_file::Backend guardedFiles{guardedOpen, guardedClose, guardedRead,     guardedWrite, guardedSeek,
                                          guardedTell, guardedCut,   guardedIdentify, guardedExists};

BOOL WINAPI onInterrupt(DWORD) {
    if (InterlockedCompareExchange(&guardState, Interrupted, Guarding) != Guarding) return FALSE;
    Sleep(10000);
    return FALSE;
}

}  // namespace

void guardFolder(const std::u16string&) {
    if (guardState != Off) return;
    unguarded = &platform_file::useBackend(guardedFiles);
    guardState = Guarding;
    SetConsoleCtrlHandler(onInterrupt, TRUE);
}

void unguardFolder() {
    if (guardState == Off) return;
    platform_file::useBackend(*unguarded);
    // The handler is still waiting, and may hold the console's lock, which
    // removing it (or ExitProcess's clean-up) would wait for: the process
    // ends at once instead, with the status Ctrl+C gives.
    if (InterlockedExchange(&guardState, Off) == Interrupted)
        TerminateProcess(GetCurrentProcess(), STATUS_CONTROL_C_EXIT);
    SetConsoleCtrlHandler(onInterrupt, FALSE);
}

bool guardInterrupted() { return guardState == Interrupted; }

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

bool processRunning(unsigned long number) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(number));
    if (!process) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = !GetExitCodeProcess(process, &code) || code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
}

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
    if (interrupted()) return -1;
    DWORD got = 0;
    if (!ReadFile(handleOf(file), bytes, static_cast<DWORD>(count), &got, nullptr)) return -1;
    return static_cast<long>(got);
}

bool write(std::intptr_t file, const void* bytes, long count) {
    if (interrupted()) return false;
    DWORD put = 0;
    return WriteFile(handleOf(file), bytes, static_cast<DWORD>(count), &put, nullptr) && put == static_cast<DWORD>(count);
}

bool close(std::intptr_t file) { return CloseHandle(handleOf(file)) != 0; }

}  // namespace byte_file
