// Keyboard: shortcuts as accelerator tables, which window's shortcuts a key
// meets, and the focus moving between tab stops.
#include "toolkit/gui/gui.h"

#include <vector>

#include "toolkit/gui/gui_registry_win32.h"

namespace gui {

namespace {

// A key that closes an open drop-down list belongs to the list: Escape or
// Enter there must not cancel the program or start a run behind its back.
bool keyForOpenList(const MSG& message) {
    if (message.message != WM_KEYDOWN ||
        (message.wParam != VK_RETURN && message.wParam != VK_ESCAPE))
        return false;
    for (const auto& entry : tk.controls) {
        const ControlRecord& control = entry.second;
        if (control.kind == ControlKind::DropDownList &&
            (message.hwnd == control.handle || IsChild(control.handle, message.hwnd)))
            return SendMessageW(control.handle, CB_GETDROPPEDSTATE, 0, 0) != 0;
    }
    return false;
}

}  // namespace

void rebuildAccelerators(WindowRecord& window) {
    window.accelerators.reset(CreateAcceleratorTableW(window.shortcuts.data(),
                                                      static_cast<int>(window.shortcuts.size())));
}

// Tab order is child-window order, which is creation order.
void moveFocus(HWND window, bool forward) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    if (children.empty()) return;

    HWND focused = GetFocus();
    if (focused && IsChild(window, focused)) {
        while (GetAncestor(focused, GA_PARENT) != window) focused = GetAncestor(focused, GA_PARENT);
    } else {
        focused = nullptr;
    }
    int count = static_cast<int>(children.size());
    int at = forward ? -1 : count;
    for (int i = 0; i < count; ++i)
        if (children[i] == focused) at = i;

    for (int step = 1; step <= count; ++step) {
        int i = ((at + (forward ? step : -step)) % count + count) % count;
        HWND candidate = children[i];
        if (IsWindowEnabled(candidate) && IsWindowVisible(candidate) &&
            (GetWindowLongW(candidate, GWL_STYLE) & WS_TABSTOP)) {
            SetFocus(candidate);
            return;
        }
    }
}

// The shortcuts of the toolkit window the message belongs to; that is the
// active window whenever the message is a key.
void handleMessage(MSG& message) {
    if (message.hwnd && !keyForOpenList(message)) {
        HWND root = GetAncestor(message.hwnd, GA_ROOT);
        for (auto& entry : tk.windows) {
            WindowRecord& window = entry.second;
            if (window.handle == root && window.accelerators &&
                TranslateAcceleratorW(root, window.accelerators.get(), &message))
                return;
        }
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace gui

using namespace gui;

void addShortcut(int window, int key, int number) {
    WindowRecord* record = findWindow(window);
    if (!record) return;
    BYTE modifiers = FVIRTKEY | FNOINVERT;
    if (key & ShiftKey) modifiers |= FSHIFT;
    if (key & ControlKey) modifiers |= FCONTROL;
    if (key & AltKey) modifiers |= FALT;
    ACCEL wanted{modifiers, static_cast<WORD>(key & 0xFFFF), static_cast<WORD>(number)};
    bool replaced = false;
    for (ACCEL& entry : record->shortcuts) {
        if (entry.fVirt == wanted.fVirt && entry.key == wanted.key) {
            entry.cmd = wanted.cmd;
            replaced = true;
        }
    }
    if (!replaced) record->shortcuts.push_back(wanted);
    rebuildAccelerators(*record);
}
