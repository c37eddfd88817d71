#include "toolkit/gui/requesters.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "toolkit/text/wide_text_win32.h"

namespace {

// A window of this process that the dialog made modal-blocked or
// non-topmost, and must give back.
struct SuspendedWindow {
    HWND window;
    bool disabledHere;
    bool topmostRemoved;
};

struct SuspendScan {
    DWORD processId;
    HWND foreground;
    std::vector<SuspendedWindow>* windows;
};

BOOL CALLBACK suspendWindow(HWND window, LPARAM data) {
    auto* scan = reinterpret_cast<SuspendScan*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != scan->processId || !IsWindowVisible(window)) return TRUE;
    SuspendedWindow entry{window, false, false};
    if (window != scan->foreground && IsWindowEnabled(window)) {
        EnableWindow(window, FALSE);
        entry.disabledHere = true;
    }
    if (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) {
        SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        entry.topmostRemoved = true;
    }
    if (entry.disabledHere || entry.topmostRemoved) scan->windows->push_back(entry);
    return TRUE;
}

// While the dialog is open the program's other windows must not take input,
// and none may cover the dialog; the owner is disabled by the dialog itself.
struct ModalScope {
    std::vector<SuspendedWindow> windows;

    explicit ModalScope(HWND foreground) {
        SuspendScan scan{GetCurrentProcessId(), foreground, &windows};
        EnumWindows(suspendWindow, reinterpret_cast<LPARAM>(&scan));
    }
    ~ModalScope() {
        for (const SuspendedWindow& entry : windows) {
            if (!IsWindow(entry.window)) continue;
            if (entry.disabledHere) EnableWindow(entry.window, TRUE);
            if (entry.topmostRemoved)
                SetWindowPos(entry.window, HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
    }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;
};

HWND ownWindowInForeground() {
    HWND foreground = GetForegroundWindow();
    DWORD owner = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &owner);
    return owner == GetCurrentProcessId() ? foreground : nullptr;
}

std::u16string runRequester(bool save, const std::u16string& title,
                            const std::u16string& defaultFile, const std::u16string& patternText,
                            int patternIndex) {
    std::u16string filters = requesterFilterList(patternText);
    std::u16string initialDirectory;
    std::u16string initialName;
    splitDefaultFile(defaultFile, initialDirectory, initialName);

    wchar_t result[requesterBufferSize] = {};
    for (size_t i = 0; i < initialName.size(); ++i) result[i] = initialName[i];

    HWND owner = ownWindowInForeground();

    // The form without the trailing extension fields is the one every
    // version of the dialog accepts.
    OPENFILENAMEW form = {};
    form.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
    form.hwndOwner = owner;
    form.lpstrFilter = wide(filters);
    form.nFilterIndex = static_cast<DWORD>(patternIndex + 1);
    form.lpstrFile = result;
    form.nMaxFile = requesterBufferSize;
    form.lpstrInitialDir = initialDirectory.empty() ? nullptr : wide(initialDirectory);
    form.lpstrTitle = wide(title);
    form.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_HIDEREADONLY;

    BOOL chosen;
    {
        ModalScope scope(owner);
        chosen = save ? GetSaveFileNameW(&form) : GetOpenFileNameW(&form);
    }
    if (!chosen) return std::u16string();
    result[requesterBufferSize - 1] = L'\0';
    return fromWide(result);
}

}  // namespace

std::u16string openFileRequester(const std::u16string& title, const std::u16string& defaultFile,
                                 const std::u16string& patternText, int patternIndex) {
    return runRequester(false, title, defaultFile, patternText, patternIndex);
}

std::u16string saveFileRequester(const std::u16string& title, const std::u16string& defaultFile,
                                 const std::u16string& patternText, int patternIndex) {
    return runRequester(true, title, defaultFile, patternText, patternIndex);
}
