// Numbered windows: a window class of their own each, opening and closing,
// and the handles behind window and control numbers.
#include "toolkit/gui/gui.h"

#include <algorithm>

#include "toolkit/gui/gui_registry_win32.h"
#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

namespace gui {

Registry tk;

namespace {

const wchar_t windowNumberProperty[] = L"PagesmithWindowNumber";

}  // namespace

WindowRecord* findWindow(int number) {
    auto it = tk.windows.find(number);
    return it == tk.windows.end() ? nullptr : &it->second;
}

ControlRecord* findControl(int number) {
    auto it = tk.controls.find(number);
    return it == tk.controls.end() ? nullptr : &it->second;
}

ControlRecord* controlOf(HWND handle, int& number) {
    number = static_cast<int>(GetWindowLongPtrW(handle, GWLP_ID));
    ControlRecord* control = findControl(number);
    return control && control->handle == handle ? control : nullptr;
}

int windowNumberOf(HWND handle) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(handle, windowNumberProperty))) - 1;
}

void forgetWindowNumber(HWND handle) { RemovePropW(handle, windowNumberProperty); }

void releaseWindows() {
    while (!tk.windows.empty()) closeWindow(tk.windows.begin()->first);
    tk.queue.clear();
    tk.current = Event{};
    tk.stockDefaultFont = true;
    tk.defaultFont = nullptr;
    tk.fonts.clear();
    tk.nextOwnNumber = firstOwnNumber;
}

}  // namespace gui

using namespace gui;

void* openWindow(int number, int x, int y, int innerWidth, int innerHeight,
                 const std::u16string& title, unsigned flags) {
    if (number < 0) return nullptr;
    closeWindow(number);

    std::u16string className = u"PagesmithWindow" + numberToText(number);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = programInstance();
    windowClass.hIcon = LoadIconW(programInstance(), MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = wide(className);
    if (!RegisterClassW(&windowClass)) return nullptr;

    DWORD style = flags & 0xFFFF0000u;
    RECT frame{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    HWND handle = CreateWindowExW(0, wide(className), wide(title), style, x, y, outerWidth,
                                  outerHeight, nullptr, nullptr, programInstance(), nullptr);
    if (!handle) {
        UnregisterClassW(wide(className), programInstance());
        return nullptr;
    }
    // Stored one up, as a property that is not there reads as 0.
    SetPropW(handle, windowNumberProperty,
             reinterpret_cast<HANDLE>(static_cast<INT_PTR>(number + 1)));

    WindowRecord& record = tk.windows[number];
    record.handle = handle;
    record.className = className;
    record.shortcuts = {ACCEL{FVIRTKEY | FNOINVERT, VK_TAB, NextTabStop},
                        ACCEL{FVIRTKEY | FNOINVERT | FSHIFT, VK_TAB, PreviousTabStop}};
    rebuildAccelerators(record);
    tk.creationWindow = number;

    if (flags & CenterWindow) {
        int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        int left = (screenWidth - std::min(screenWidth, outerWidth)) / 2;
        int top = (screenHeight - std::min(screenHeight, outerHeight)) / 2;
        SetWindowPos(handle, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ShowWindow(handle, SW_SHOWNORMAL);
    return handle;
}

void closeWindow(int number) {
    WindowRecord* window = findWindow(number);
    if (!window) return;
    // The controls forget themselves as they are destroyed with the window.
    DestroyWindow(window->handle);
    UnregisterClassW(wide(window->className), programInstance());
    tk.windows.erase(number);
    dropWindowEvents(number);
    if (tk.creationWindow == number) tk.creationWindow = -1;
}

void* windowHandle(int number) {
    WindowRecord* window = findWindow(number);
    return window ? window->handle : nullptr;
}

void* controlHandle(int number) {
    ControlRecord* control = findControl(number);
    return control ? control->handle : nullptr;
}
