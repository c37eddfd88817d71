// Platform services the shell needs beside its window: the alert sound,
// opening a file with its associated program, the error box, and finding a
// running copy of the program.
#include "toolkit/gui/gui.h"

#include <windows.h>
#include <shellapi.h>

#include "toolkit/text/wide_text_win32.h"

void alertSound() { MessageBeep(0); }

void openWithShell(const std::u16string& path) {
    ShellExecuteW(static_cast<HWND>(windowHandle(0)), L"open", wide(path), L"", L"", SW_SHOW);
}

void showErrorBox(std::u16string_view message) {
    std::u16string text(message);
    MessageBoxW(static_cast<HWND>(windowHandle(0)), wide(text), L"error", MB_OK);
}

bool activateRunningCopy(const std::u16string& title) {
    HWND running = FindWindowW(nullptr, wide(title));
    if (!running) return false;
    ShowWindow(running, SW_RESTORE);
    SetForegroundWindow(running);
    return true;
}
