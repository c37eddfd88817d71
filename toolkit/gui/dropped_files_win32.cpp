// The window is subclassed for WM_DROPFILES alone, so the event machinery of
// the toolkit's own window procedure stays as it is.
#include "toolkit/gui/dropped_files.h"

#include <windows.h>
// After windows.h, which they build on.
#include <commctrl.h>
#include <shellapi.h>

#include <vector>

#include "toolkit/gui/gui.h"
#include "toolkit/text/wide_text_win32.h"

namespace {

constexpr UINT_PTR dropSubclassId = 1;

std::u16string firstDroppedFile(HDROP drop) {
    if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) == 0) return {};
    UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length == 0) return {};
    std::vector<wchar_t> buffer(length + 1);
    UINT copied = DragQueryFileW(drop, 0, buffer.data(), length + 1);
    return fromWide(buffer.data(), copied);
}

LRESULT CALLBACK dropProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                          DWORD_PTR handlerData) {
    if (message == WM_DROPFILES) {
        auto drop = reinterpret_cast<HDROP>(wParam);
        std::u16string path = firstDroppedFile(drop);
        DragFinish(drop);
        auto handler = reinterpret_cast<DroppedFileHandler>(handlerData);
        if (!path.empty() && handler) handler(path);
        return 0;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(handle, dropProc, id);
    return DefSubclassProc(handle, message, wParam, lParam);
}

}  // namespace

bool acceptDroppedFiles(int window, DroppedFileHandler handler) {
    auto handle = static_cast<HWND>(windowHandle(window));
    if (!handle) return false;
    if (!SetWindowSubclass(handle, dropProc, dropSubclassId, reinterpret_cast<DWORD_PTR>(handler)))
        return false;
    DragAcceptFiles(handle, TRUE);
    return true;
}
