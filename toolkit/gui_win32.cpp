// Numbered windows, controls and the event queue over Win32.
//
// Every toolkit window has a class of its own and one window procedure that
// turns WM_COMMAND and WM_CLOSE into queued events. Controls are subclassed so
// that a text field can report its focus and a destroyed control can forget
// its number; the number is the control's GWLP_ID, so a notification leads
// straight back to it.
#include "toolkit/gui.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <type_traits>
#include <vector>

#include "toolkit/directory_scan.h"
#include "toolkit/text_file.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 edge assumes 16-bit wchar_t");

namespace {

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string fromWide(const wchar_t* text, size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

struct AcceleratorDeleter {
    void operator()(HACCEL table) const { DestroyAcceleratorTable(table); }
};
using AcceleratorTable = std::unique_ptr<std::remove_pointer_t<HACCEL>, AcceleratorDeleter>;

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct WindowRecord {
    HWND handle = nullptr;
    std::wstring className;
    std::vector<ACCEL> shortcuts;
    AcceleratorTable accelerators;
};

enum class ControlKind { Frame, Label, TextField, PushButton, CheckBox, DropDownList };

struct ControlRecord {
    HWND handle = nullptr;
    ControlKind kind = ControlKind::Label;
    int window = 0;
};

struct Event {
    int code = 0;
    int window = 0;
    int number = 0;
    int subtype = 0;
    WPARAM data1 = 0;
    LPARAM data2 = 0;
};

// Numbers for controls the program does not number itself; far above any
// number the program picks and above the 16 bits of a WM_COMMAND identifier,
// which is never used to find a control.
constexpr int firstOwnNumber = 0x10000;
// Extra height beyond the closed box for the drop-down list's open part.
constexpr int dropDownListHeight = 200;

const wchar_t windowNumberProperty[] = L"PagesmithWindowNumber";
const wchar_t previousProcProperty[] = L"PagesmithPreviousProc";

struct Toolkit {
    std::map<int, WindowRecord> windows;
    std::map<int, ControlRecord> controls;
    std::deque<Event> queue;
    Event current;
    int creationWindow = -1;
    int quietDepth = 0;
    bool stockDefaultFont = true;
    HFONT defaultFont = nullptr;
    std::vector<OwnedFont> fonts;
    int nextOwnNumber = firstOwnNumber;
    bool comStarted = false;
};

Toolkit tk;

// The program's own changes to its controls must not come back as events.
struct QuietChanges {
    QuietChanges() { ++tk.quietDepth; }
    ~QuietChanges() { --tk.quietDepth; }
    QuietChanges(const QuietChanges&) = delete;
    QuietChanges& operator=(const QuietChanges&) = delete;
};

HINSTANCE programInstance() { return GetModuleHandleW(nullptr); }

void queueEvent(int code, int window, int number, int subtype, WPARAM data1 = 0,
                LPARAM data2 = 0) {
    if (tk.quietDepth > 0) return;
    if (!tk.queue.empty()) {
        const Event& newest = tk.queue.back();
        if (newest.code == code && newest.window == window && newest.number == number &&
            newest.subtype == subtype)
            return;
    }
    tk.queue.push_back(Event{code, window, number, subtype, data1, data2});
}

template <typename Drop>
void dropEvents(Drop drop) {
    for (auto it = tk.queue.begin(); it != tk.queue.end();) {
        if (drop(*it))
            it = tk.queue.erase(it);
        else
            ++it;
    }
}

WindowRecord* findWindow(int number) {
    auto it = tk.windows.find(number);
    return it == tk.windows.end() ? nullptr : &it->second;
}

ControlRecord* findControl(int number) {
    auto it = tk.controls.find(number);
    return it == tk.controls.end() ? nullptr : &it->second;
}

int windowNumberOf(HWND handle) {
    return static_cast<int>(reinterpret_cast<INT_PTR>(GetPropW(handle, windowNumberProperty))) - 1;
}

ControlRecord* controlOf(HWND handle, int& number) {
    number = static_cast<int>(GetWindowLongPtrW(handle, GWLP_ID));
    ControlRecord* control = findControl(number);
    return control && control->handle == handle ? control : nullptr;
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
            RemovePropW(handle, windowNumberProperty);
            break;
        default:
            break;
        }
    }
    return DefWindowProcW(handle, message, wParam, lParam);
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

HFONT currentDefaultFont() {
    if (tk.stockDefaultFont) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return tk.defaultFont;
}

int freeOwnNumber() {
    while (tk.controls.count(tk.nextOwnNumber)) ++tk.nextOwnNumber;
    return tk.nextOwnNumber++;
}

HWND createControl(int number, ControlKind kind, const wchar_t* className, DWORD style,
                   DWORD extendedStyle, int x, int y, int width, int height,
                   const std::u16string& text) {
    WindowRecord* window = findWindow(tk.creationWindow);
    if (!window) return nullptr;
    if (number == -1)
        number = freeOwnNumber();
    else if (number < 0)
        return nullptr;

    QuietChanges quiet;
    if (ControlRecord* old = findControl(number)) {
        DestroyWindow(old->handle);
        forgetControl(number);
    }
    auto identifier = reinterpret_cast<HMENU>(static_cast<INT_PTR>(number));
    HWND handle = CreateWindowExW(extendedStyle, className, wide(text),
                                  WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                  window->handle, identifier, programInstance(), nullptr);
    if (!handle) return nullptr;
    tk.controls[number] = ControlRecord{handle, kind, tk.creationWindow};
    SetPropW(handle, previousProcProperty,
             reinterpret_cast<HANDLE>(GetWindowLongPtrW(handle, GWLP_WNDPROC)));
    SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc));
    if (HFONT font = currentDefaultFont())
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return handle;
}

std::u16string windowText(HWND handle) {
    int length = GetWindowTextLengthW(handle);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(handle, buffer.data(), length + 1);
    return fromWide(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

std::u16string selectedEntry(HWND list) {
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return {};
    LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    LRESULT copied = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    return fromWide(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

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

}  // namespace

void startToolkit() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                    ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);
    if (!tk.comStarted) tk.comStarted = SUCCEEDED(CoInitialize(nullptr));
}

void releaseToolkit() {
    while (!tk.windows.empty()) closeWindow(tk.windows.begin()->first);
    tk.queue.clear();
    tk.current = Event{};
    tk.stockDefaultFont = true;
    tk.defaultFont = nullptr;
    tk.fonts.clear();
    tk.nextOwnNumber = firstOwnNumber;
    closeAllTextFiles();
    finishAllDirectories();
    if (tk.comStarted) CoUninitialize();
    tk.comStarted = false;
}

void* openWindow(int number, int x, int y, int innerWidth, int innerHeight,
                 const std::u16string& title, unsigned flags) {
    if (number < 0) return nullptr;
    closeWindow(number);

    std::wstring className = L"PagesmithWindow" + std::to_wstring(number);
    WNDCLASSW windowClass{};
    windowClass.style = CS_DBLCLKS;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = programInstance();
    windowClass.hIcon = LoadIconW(programInstance(), MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className.c_str();
    if (!RegisterClassW(&windowClass)) return nullptr;

    DWORD style = flags & 0xFFFF0000u;
    RECT frame{0, 0, innerWidth, innerHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    int outerWidth = frame.right - frame.left;
    int outerHeight = frame.bottom - frame.top;
    HWND handle = CreateWindowExW(0, className.c_str(), wide(title), style, x, y, outerWidth,
                                  outerHeight, nullptr, nullptr, programInstance(), nullptr);
    if (!handle) {
        UnregisterClassW(className.c_str(), programInstance());
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
    UnregisterClassW(window->className.c_str(), programInstance());
    tk.windows.erase(number);
    dropEvents([&](const Event& event) { return event.window == number; });
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

void* loadFont(const std::u16string& faceName, int points) {
    HDC screen = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontW(-MulDiv(points, pixelsPerInch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(faceName));
    if (!font) return nullptr;
    tk.fonts.emplace_back(font);
    return font;
}

void setDefaultFont(void* font) {
    tk.stockDefaultFont = font == reinterpret_cast<void*>(-1);
    tk.defaultFont = tk.stockDefaultFont ? nullptr : static_cast<HFONT>(font);
}

void* createFrame(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::Frame, L"Button", BS_GROUPBOX | WS_GROUP, 0, x, y,
                         width, height, text);
}

void* createLabel(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::Label, L"Static", SS_NOPREFIX | WS_GROUP, 0, x, y,
                         width, height, text);
}

void* createTextField(int number, int x, int y, int width, int height, const std::u16string& text,
                      bool digitsOnly) {
    DWORD style = ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP | (digitsOnly ? ES_NUMBER : 0);
    return createControl(number, ControlKind::TextField, L"Edit", style, WS_EX_CLIENTEDGE, x, y,
                         width, height, text);
}

void* createButton(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::PushButton, L"Button",
                         BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, x, y, width, height, text);
}

void* createCheckBox(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::CheckBox, L"Button",
                         BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0, x, y, width, height, text);
}

void* createDropDownList(int number, int x, int y, int width, int height) {
    HWND list = createControl(number, ControlKind::DropDownList, L"ComboBox",
                              CBS_DROPDOWNLIST | WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP, 0,
                              x, y, width, height + dropDownListHeight, u"");
    if (!list) return nullptr;
    // The closed box is the selection field plus a frame. Systems differ in
    // how the field's set height maps to the box (some add padding), so
    // correct by what the box measures. The font is already set, as
    // WM_SETFONT would reset the field's height.
    LRESULT field = SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 3 && field != CB_ERR; ++attempt) {
        RECT box;
        GetWindowRect(list, &box);
        int error = height - (box.bottom - box.top);
        if (error == 0 || field + error <= 0) break;
        field += error;
        SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
    return list;
}

std::u16string getText(int number) {
    ControlRecord* control = findControl(number);
    if (!control) return {};
    if (control->kind == ControlKind::DropDownList) return selectedEntry(control->handle);
    return windowText(control->handle);
}

void setText(int number, const std::u16string& text) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind == ControlKind::DropDownList) return;
    QuietChanges quiet;
    SetWindowTextW(control->handle, wide(text));
}

int getState(int number) {
    ControlRecord* control = findControl(number);
    if (!control) return 0;
    switch (control->kind) {
    case ControlKind::CheckBox: {
        LRESULT check = SendMessageW(control->handle, BM_GETCHECK, 0, 0);
        return check == BST_CHECKED ? 1 : check == BST_INDETERMINATE ? -1 : 0;
    }
    case ControlKind::DropDownList:
        return static_cast<int>(SendMessageW(control->handle, CB_GETCURSEL, 0, 0));
    default:
        return 0;
    }
}

void setState(int number, int state) {
    ControlRecord* control = findControl(number);
    if (!control) return;
    QuietChanges quiet;
    if (control->kind == ControlKind::CheckBox)
        SendMessageW(control->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
    else if (control->kind == ControlKind::DropDownList)
        SendMessageW(control->handle, CB_SETCURSEL, static_cast<WPARAM>(state), 0);
}

void clearItems(int number) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind != ControlKind::DropDownList) return;
    QuietChanges quiet;
    SendMessageW(control->handle, CB_RESETCONTENT, 0, 0);
}

void addItem(int number, int position, const std::u16string& text) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind != ControlKind::DropDownList) return;
    QuietChanges quiet;
    SendMessageW(control->handle, CB_INSERTSTRING, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(wide(text)));
}

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

int pollEvent() {
    MSG message;
    while (tk.queue.empty() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            queueQuit();
        else
            handleMessage(message);
    }
    if (tk.queue.empty()) {
        tk.current = Event{};
        return 0;
    }
    return takeEvent();
}

int eventNumber() { return tk.current.number; }
int eventSubtype() { return tk.current.subtype; }
int eventWindow() { return tk.current.window; }

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
