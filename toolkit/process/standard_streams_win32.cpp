#include "toolkit/process/standard_streams.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"

namespace {

const DWORD streamNumbers[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
int closedAtStart[3] = {0, 0, 0};
HANDLE savedInput = nullptr;  // the process's own standard input while a pipe stands in
HANDLE pipeInput = nullptr;

bool missing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

// A stream the parent closed may still come as a handle that is none.
bool closed(HANDLE handle) {
    if (missing(handle)) return true;
    SetLastError(NO_ERROR);
    return GetFileType(handle) == FILE_TYPE_UNKNOWN && GetLastError() != NO_ERROR;
}

}  // namespace

void claimClosedStandardStreams() {
    for (int i = 0; i < 3; ++i) {
        if (!closed(GetStdHandle(streamNumbers[i]))) continue;
        closedAtStart[i] = ERROR_INVALID_HANDLE;
        const HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (!missing(null)) SetStdHandle(streamNumbers[i], null);
    }
}

int standardStreamProblem(StandardStream stream) {
    const int number = stream == StandardStream::Input ? 0 : 1;
    if (closedAtStart[number] != 0 || number != 0 || pipeInput) return closedAtStart[number];
    // A folder, or the handle Wine gives for a closed descriptor, is a disk
    // handle that no read accepts; an empty read asks without waiting.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char none;
    DWORD got = 0;
    if (GetFileType(input) == FILE_TYPE_DISK && !ReadFile(input, &none, 0, &got, nullptr))
        return static_cast<int>(GetLastError());
    return 0;
}

bool openAsStandardInput(const std::u16string& path) {
    HANDLE h;
    // A pipe whose every instance is taken is waited for, as a FIFO's reader
    // waits for a writer.
    while (missing(h = CreateFileW(wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING, 0, nullptr))) {
        if (GetLastError() != ERROR_PIPE_BUSY || !WaitNamedPipeW(wide(path), NMPWAIT_WAIT_FOREVER)) return false;
    }
    if (!savedInput) savedInput = GetStdHandle(STD_INPUT_HANDLE);
    if (pipeInput) CloseHandle(pipeInput);
    pipeInput = h;
    return SetStdHandle(STD_INPUT_HANDLE, h) != 0;
}

void restoreStandardInput() {
    if (!pipeInput) return;
    SetStdHandle(STD_INPUT_HANDLE, savedInput);
    CloseHandle(pipeInput);
    pipeInput = nullptr;
    savedInput = nullptr;
}

void waitForStandardInput() {
    // An empty read of a pipe returns once bytes are there or the writer has
    // gone. A console or a file needs no wait.
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char none;
    DWORD got = 0;
    if (GetFileType(input) == FILE_TYPE_PIPE) ReadFile(input, &none, 0, &got, nullptr);
}
