// Windows: ReadDirectoryChangesW on each folder, overlapped, and a console
// control handler that signals an event instead of ending the process.
#include "toolkit/fs/file_watch.h"
#include "toolkit/fs/file_watch_platform.h"

#include <windows.h>

#include <memory>

#include "toolkit/fs/paths.h"
#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

namespace {

constexpr DWORD notifyFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                               FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_CREATION;
constexpr DWORD notifyBufferSize = 64 * 1024;

struct Folder {
    std::u16string path;  // lower case, as the names are compared
    HANDLE handle = INVALID_HANDLE_VALUE;
    OVERLAPPED overlapped{};
    std::unique_ptr<DWORD[]> buffer{new DWORD[notifyBufferSize / sizeof(DWORD)]};
};

struct WatchedFile {
    std::size_t folder;
    std::u16string name;  // lower case
    bool release;         // its removal counts too (a lock's file)
};

std::vector<std::unique_ptr<Folder>> folders;
std::vector<WatchedFile> watched;
HANDLE stopEvent = nullptr;

BOOL WINAPI onConsoleControl(DWORD) {
    if (stopEvent) SetEvent(stopEvent);
    return TRUE;
}

bool listen(Folder& folder) {
    ResetEvent(folder.overlapped.hEvent);
    return ReadDirectoryChangesW(folder.handle, folder.buffer.get(), notifyBufferSize, FALSE, notifyFilter,
                                 nullptr, &folder.overlapped, nullptr) != 0;
}

// Marks the watched files that the folder's report names; true when any.
bool takeEvents(std::size_t index, std::vector<bool>& changed) {
    Folder& folder = *folders[index];
    DWORD bytes = 0;
    bool any = false;
    const bool done = GetOverlappedResult(folder.handle, &folder.overlapped, &bytes, FALSE) != 0;
    if (!done || bytes == 0) {
        // The report did not fit: every file of the folder may have changed.
        for (std::size_t i = 0; i < watched.size(); ++i) {
            if (watched[i].folder == index) changed[i] = any = true;
        }
    } else {
        const auto* base = reinterpret_cast<const unsigned char*>(folder.buffer.get());
        for (DWORD at = 0;;) {
            const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
            const bool removed = info->Action == FILE_ACTION_REMOVED || info->Action == FILE_ACTION_RENAMED_OLD_NAME;
            const std::u16string name = lowerCase(fromWide(info->FileName, info->FileNameLength / sizeof(WCHAR)));
            for (std::size_t i = 0; i < watched.size(); ++i) {
                if (watched[i].folder == index && watched[i].name == name && (!removed || watched[i].release))
                    changed[i] = any = true;
            }
            if (info->NextEntryOffset == 0) break;
            at += info->NextEntryOffset;
        }
    }
    listen(folder);
    return any;
}

}  // namespace

bool startFileWatch(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& releases) {
    endFileWatch();
    for (std::size_t i = 0; i < paths.size() + releases.size(); ++i) {
        const std::u16string& path = i < paths.size() ? paths[i] : releases[i - paths.size()];
        const std::u16string folderPath = lowerCase(directoryPart(path));
        const std::u16string name = lowerCase(path).substr(folderPath.size());
        std::size_t index = 0;
        while (index < folders.size() && folders[index]->path != folderPath) ++index;
        if (index == folders.size()) {
            // WaitForMultipleObjects takes 64 handles, one of them the stop event.
            if (folders.size() == MAXIMUM_WAIT_OBJECTS - 1) {
                endFileWatch();
                return false;
            }
            auto folder = std::make_unique<Folder>();
            folder->path = folderPath;
            const std::u16string opened = folderPath.empty() ? std::u16string(u".") : folderPath;
            folder->handle = CreateFileW(wide(opened), FILE_LIST_DIRECTORY,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
            folder->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            const bool ready = folder->handle != INVALID_HANDLE_VALUE && folder->overlapped.hEvent;
            folders.push_back(std::move(folder));
            if (!ready || !listen(*folders.back())) {
                endFileWatch();
                return false;
            }
        }
        watched.push_back(WatchedFile{index, name, i >= paths.size()});
    }
    stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stopEvent || !SetConsoleCtrlHandler(onConsoleControl, TRUE)) {
        endFileWatch();
        return false;
    }
    return true;
}

std::size_t watchedFileCount() { return watched.size(); }

WatchWake waitForWake(int timeoutMilliseconds, std::vector<bool>& changed) {
    if (!stopEvent) return WatchWake::Failure;
    HANDLE events[MAXIMUM_WAIT_OBJECTS];
    events[0] = stopEvent;
    for (std::size_t i = 0; i < folders.size(); ++i) events[i + 1] = folders[i]->overlapped.hEvent;
    const DWORD count = static_cast<DWORD>(folders.size() + 1);
    const DWORD timeout = timeoutMilliseconds < 0 ? INFINITE : static_cast<DWORD>(timeoutMilliseconds);
    const DWORD result = WaitForMultipleObjects(count, events, FALSE, timeout);
    if (result == WAIT_TIMEOUT) return WatchWake::Nothing;
    if (result == WAIT_OBJECT_0) return WatchWake::Stop;
    if (result <= WAIT_OBJECT_0 || result >= WAIT_OBJECT_0 + count) return WatchWake::Failure;
    return takeEvents(result - WAIT_OBJECT_0 - 1, changed) ? WatchWake::Change : WatchWake::Nothing;
}

void endFileWatch() {
    if (stopEvent) {
        SetConsoleCtrlHandler(onConsoleControl, FALSE);
        CloseHandle(stopEvent);
        stopEvent = nullptr;
    }
    for (auto& folder : folders) {
        if (folder->handle != INVALID_HANDLE_VALUE) {
            // The buffer must outlive the cancelled read.
            DWORD bytes = 0;
            if (CancelIo(folder->handle)) GetOverlappedResult(folder->handle, &folder->overlapped, &bytes, TRUE);
            CloseHandle(folder->handle);
        }
        if (folder->overlapped.hEvent) CloseHandle(folder->overlapped.hEvent);
    }
    folders.clear();
    watched.clear();
}
