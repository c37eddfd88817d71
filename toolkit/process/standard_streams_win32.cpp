#include "toolkit/process/standard_streams.h"

#include <windows.h>

#include "toolkit/text/wide_text_win32.h"

namespace {

const DWORD streamNumbers[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
int closedAtStart[3] = {0, 0, 0};
HANDLE savedInput = nullptr;  // the process's own standard input while a pipe stands in
HANDLE pipeInput = nullptr;

bool missing(HANDLE handle) { return handle == nullptr || handle == INVALID_HANDLE_VALUE; }

}  // namespace

void claimClosedStandardStreams() {
    for (int i = 0; i < 3; ++i) {
        if (!missing(GetStdHandle(streamNumbers[i]))) continue;
        closedAtStart[i] = ERROR_INVALID_HANDLE;
        const HANDLE null = CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (!missing(null)) SetStdHandle(streamNumbers[i], null);
    }
}

int standardStreamProblem(StandardStream stream) {
    return closedAtStart[stream == StandardStream::Input ? 0 : 1];
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
