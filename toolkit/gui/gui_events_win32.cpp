// The event queue: the window and control procedures that turn messages into
// numbered events, and the waits that hand them to the program.
#include "toolkit/gui/gui.h"

#include "toolkit/gui/gui_registry_win32.h"

namespace gui {

namespace {

const wchar_t previousProcProperty[] = L"PagesmithPreviousProc";

template <typename Drop>
void dropEvents(Drop drop) {
    for (auto it = tk.queue.begin(); it != tk.queue.end();) {
        if (drop(*it))
            it = tk.queue.erase(it);
        else
            ++it;
    }
}

void dropDownCommand(int window, int number, WPARAM wParam, LPARAM lParam) {
    switch (HIWORD(wParam)) {
    case CBN_SELCHANGE:
    case CBN_EDITCHANGE:
        queueEvent(ControlEvent, window, number, SelectionChanged, wParam, lParam);
        break;
    case CBN_DROPDOWN:
        // Lets the shell rescan the templates just before the user picks one.
        queueEvent(ControlEvent, window, number, DropDownOpened, wParam, lParam);
        break;
    default:
        break;
    }
}

void windowCommand(int window, WPARAM wParam, LPARAM lParam) {
    if (lParam) {
        int number = 0;
        ControlRecord* control = controlOf(reinterpret_cast<HWND>(lParam), number);
        if (!control) return;
        switch (control->kind) {
        case ControlKind::Frame:
        case ControlKind::Label:
            return;
        case ControlKind::DropDownList:
            dropDownCommand(window, number, wParam, lParam);
            return;
        default:
            queueEvent(ControlEvent, window, number, HIWORD(wParam), wParam, lParam);
            return;
        }
    }
    if (HIWORD(wParam) == 1) {
        int number = LOWORD(wParam);
        WindowRecord* record = findWindow(window);
        if (number == NextTabStop || number == PreviousTabStop) {
            if (record) moveFocus(record->handle, number == NextTabStop);
            return;
        }
        queueEvent(ShortcutEvent, window, number, 0, wParam, lParam);
    } else if (HIWORD(wParam) == 0) {
        queueEvent(ShortcutEvent, window, static_cast<int>(wParam), 0, wParam, lParam);
    }
}

LRESULT CALLBACK controlProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    auto previous = reinterpret_cast<WNDPROC>(GetPropW(handle, previousProcProperty));
    if (!previous) return DefWindowProcW(handle, message, wParam, lParam);
    int number = 0;
    ControlRecord* control = controlOf(handle, number);
    if (control) {
        switch (message) {
        case WM_SETFOCUS:
            if (control->kind == ControlKind::TextField)
                queueEvent(ControlEvent, control->window, number, FocusGained, wParam, lParam);
            break;
        case WM_KILLFOCUS:
            if (control->kind == ControlKind::TextField)
                queueEvent(ControlEvent, control->window, number, FocusLost, wParam, lParam);
            break;
        default:
            break;
        }
    }
    if (message == WM_NCDESTROY) {
        if (control) forgetControl(number);
        SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        RemovePropW(handle, previousProcProperty);
    }
    return CallWindowProcW(previous, handle, message, wParam, lParam);
}

}  // namespace

int takeEvent() {
    tk.current = tk.queue.front();
    tk.queue.pop_front();
    return tk.current.code;
}

// A quit request has no window; the shell hears it as the first window
// being closed.
void queueQuit() {
    if (!tk.windows.empty()) {
        int window = tk.windows.begin()->first;
        queueEvent(CloseEvent, window, window, 0);
    }
}

void queueEvent(int code, int window, int number, int subtype, WPARAM data1, LPARAM data2) {
    if (tk.quietDepth > 0) return;
    if (!tk.queue.empty()) {
        const Event& newest = tk.queue.back();
        if (newest.code == code && newest.window == window && newest.number == number &&
            newest.subtype == subtype)
            return;
    }
    tk.queue.push_back(Event{code, window, number, subtype, data1, data2});
}

void dropWindowEvents(int window) {
    dropEvents([&](const Event& event) { return event.window == window; });
}

void forgetControl(int number) {
    ControlRecord* control = findControl(number);
    if (!control) return;
    int window = control->window;
    tk.controls.erase(number);
    dropEvents([&](const Event& event) {
        return event.code == ControlEvent && event.window == window && event.number == number;
    });
}

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam) {
    int number = windowNumberOf(handle);
    if (number >= 0) {
        switch (message) {
        case WM_COMMAND:
            windowCommand(number, wParam, lParam);
            return 0;
        case WM_CLOSE:
            // Only closeWindow destroys: the shell decides what closing means.
            queueEvent(CloseEvent, number, number, 0, wParam, lParam);
            return 0;
        case WM_NCDESTROY:
            forgetWindowNumber(handle);
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(handle, message, wParam, lParam);
}

void subclassControl(HWND handle) {
    SetPropW(handle, previousProcProperty,
             reinterpret_cast<HANDLE>(GetWindowLongPtrW(handle, GWLP_WNDPROC)));
    SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc));
}

}  // namespace gui

using namespace gui;

int waitEvent() {
    if (!tk.queue.empty()) return takeEvent();
    tk.current = Event{};
    MSG message;
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == -1) return 0;
    if (got == 0) {
        queueQuit();
        return tk.queue.empty() ? 0 : takeEvent();
    }
    handleMessage(message);
    // The shell must never read a plain message as one of its events.
    int code = static_cast<int>(message.message);
    return code == ControlEvent || code == ShortcutEvent || code == CloseEvent ? 0 : code;
}

int eventNumber() { return tk.current.number; }
int eventSubtype() { return tk.current.subtype; }
