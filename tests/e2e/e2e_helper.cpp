// Looks at the running window program from outside, for the end-to-end
// tests: finds windows by title, reads control texts and message boxes, and
// stands in for the program that the shell opens files with. Prints UTF-8.
//
//   wait <title> [ms]          exit 0 once a top-level window has the title
//                              and its thread has begun taking events
//   gone <title> [ms]          exit 0 once none has it
//   count <title>              how many top-level windows have the title
//   text <id>                  text of control <id> of the main window
//   settext <id> <text>        sets the text of control <id> through its
//                              messages, as the program's own setText does
//   showtext <id> <text> [ms]  exit 0 once control <id> shows the text; else
//                              prints what it shows
//   focus <id|window> [ms]     exit 0 once control <id> (or any control of
//                              the main window) holds the keyboard focus;
//                              else prints what holds it
//   dropped <id>               1 while drop-down list <id> is open
//   checked <id>               1 ticked, 0 clear
//   items <id>                 the entries of drop-down list <id>, one a line
//   point <id> [ms]            screen centre of control <id>, "x y", once a
//                              click there would reach it
//   error [ms]                 waits for the "error" box, prints its text and
//                              presses its OK; exit 1 when none comes
//   dialog <title> [ms]        waits for a file dialog to hold the keyboard
//                              focus and prints the text of its name field
//   dialogtext <title> <text> [ms]  exit 0 once the dialog's name field shows
//                              the text; else prints what it shows
//   minimize | iconic          the main window: minimise it / 1 when minimised
//   enabled                    the main window: 1 when it takes input
//   record <log> <file>        appends "<file>|<size>" to <log> (the handler)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

const wchar_t* const mainTitle = L"Notewell's HTML 0.73 ";

std::string utf8(const std::wstring& text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), bytes.data(), size, nullptr,
                        nullptr);
    return bytes;
}

void print(const std::wstring& text) {
    std::string bytes = utf8(text) + '\n';
    fwrite(bytes.data(), 1, bytes.size(), stdout);
    fflush(stdout);
}

std::wstring windowText(HWND window) {
    wchar_t buffer[1024] = {};
    // WM_GETTEXT crosses the process boundary where GetWindowTextW would not.
    SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer),
                        SMTO_ABORTIFHUNG, 2000, nullptr);
    return buffer;
}

struct TitleSearch {
    std::wstring title;
    HWND found = nullptr;
    int count = 0;
};

BOOL CALLBACK matchTitle(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TitleSearch*>(data);
    wchar_t buffer[512] = {};
    GetWindowTextW(window, buffer, 512);
    if (search->title == buffer) {
        if (!search->found) search->found = window;
        ++search->count;
    }
    return TRUE;
}

TitleSearch findTitle(const std::wstring& title) {
    TitleSearch search;
    search.title = title;
    EnumWindows(matchTitle, reinterpret_cast<LPARAM>(&search));
    return search;
}

// The program shows its window before it makes the controls and fills the
// template list, so a visible window is not yet a finished one. A message
// sent from another process is only taken once the program's thread waits
// for events, that is, once start-up is over: the round trip waits for that.
HWND waitFor(const std::wstring& title, int ms) {
    for (int waited = 0;; waited += 50) {
        TitleSearch search = findTitle(title);
        if (search.found && IsWindowVisible(search.found)) {
            DWORD_PTR result = 0;
            const UINT left = UINT(ms > waited ? ms - waited : 1);
            return SendMessageTimeoutW(search.found, WM_NULL, 0, 0, SMTO_NORMAL, left, &result)
                       ? search.found
                       : nullptr;
        }
        if (waited >= ms) return nullptr;
        Sleep(50);
    }
}

HWND control(int id) {
    HWND window = findTitle(mainTitle).found;
    return window ? GetDlgItem(window, id) : nullptr;
}

struct ChildSearch {
    std::wstring className;
    int id;
    HWND found = nullptr;
};

BOOL CALLBACK matchChild(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<ChildSearch*>(data);
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (!search->className.empty() && _wcsicmp(name, search->className.c_str()) != 0) return TRUE;
    if (search->id >= 0 && GetDlgCtrlID(window) != search->id) return TRUE;
    if (search->className == L"Static" && windowText(window).empty()) return TRUE;
    search->found = window;
    return FALSE;
}

HWND child(HWND parent, const std::wstring& className, int id) {
    ChildSearch search{className, id};
    EnumChildWindows(parent, matchChild, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The window that keys reach while `window` is in the foreground: the focus
// of its thread, asked from any process (GetFocus answers only for the
// caller's own thread). Nothing while another window is in the foreground.
HWND focusOf(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    if (!window || GetForegroundWindow() != window ||
        !GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

std::wstring describe(HWND window) {
    if (!window) return L"nothing";
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (GetParent(window)) return std::wstring(name) + L" " + std::to_wstring(GetDlgCtrlID(window));
    return std::wstring(name) + L" \"" + windowText(window) + L"\"";
}

// What holds the keys, for a failure message.
std::wstring focusReport(HWND focused) {
    return L"foreground " + describe(GetForegroundWindow()) + L", focus " + describe(focused);
}

// Polls `done` every 50 ms for up to `ms` milliseconds.
template <typename Condition>
bool waitUntil(int ms, Condition done) {
    for (int waited = 0;; waited += 50) {
        if (done()) return true;
        if (waited >= ms) return false;
        Sleep(50);
    }
}

HWND nameField(HWND dialog) {
    // The explorer-style dialog keeps its name field in combo box 1148;
    // older forms have edit field 1152.
    HWND name = child(dialog, L"", 0x47C);
    return name ? name : child(dialog, L"", 0x480);
}

int timeoutArgument(int argc, wchar_t** argv, int index, int fallback) {
    return argc > index ? _wtoi(argv[index]) : fallback;
}

int run(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    if (command == L"wait" && argc >= 3) {
        return waitFor(argv[2], timeoutArgument(argc, argv, 3, 10000)) ? 0 : 1;
    }
    if (command == L"gone" && argc >= 3) {
        const int ms = timeoutArgument(argc, argv, 3, 10000);
        for (int waited = 0; findTitle(argv[2]).found; waited += 50) {
            if (waited >= ms) return 1;
            Sleep(50);
        }
        return 0;
    }
    if (command == L"count" && argc >= 3) {
        print(std::to_wstring(findTitle(argv[2]).count));
        return 0;
    }
    if (command == L"text" && argc >= 3) {
        HWND window = control(_wtoi(argv[2]));
        if (!window) return 1;
        print(windowText(window));
        return 0;
    }
    if (command == L"settext" && argc >= 4) {
        HWND window = control(_wtoi(argv[2]));
        if (!window) return 1;
        DWORD_PTR result = 0;
        // WM_SETTEXT is marshalled across processes; the field raises its
        // change notification as it would for the program's own setText.
        SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]),
                            SMTO_ABORTIFHUNG, 5000, &result);
        return result ? 0 : 1;
    }
    if (command == L"showtext" && argc >= 4) {
        const std::wstring expected = argv[3];
        std::wstring shown;
        const bool seen = waitUntil(timeoutArgument(argc, argv, 4, 5000), [&] {
            HWND window = control(_wtoi(argv[2]));
            shown = window ? windowText(window) : L"(no such control)";
            return shown == expected;
        });
        if (!seen) print(shown);
        return seen ? 0 : 1;
    }
    if (command == L"focus" && argc >= 3) {
        const bool anyControl = std::wstring(argv[2]) == L"window";
        HWND focused = nullptr;
        const bool seen = waitUntil(timeoutArgument(argc, argv, 3, 5000), [&] {
            HWND main = findTitle(mainTitle).found;
            focused = focusOf(main);
            if (!focused || !main) return false;
            if (anyControl) return focused == main || IsChild(main, focused) != FALSE;
            HWND target = GetDlgItem(main, _wtoi(argv[2]));
            // A combo box with an edit part gives the focus to that part.
            return target && (focused == target || IsChild(target, focused));
        });
        if (!seen) print(focusReport(focused));
        return seen ? 0 : 1;
    }
    if (command == L"dropped" && argc >= 3) {
        HWND window = control(_wtoi(argv[2]));
        if (!window) return 1;
        print(SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0) ? L"1" : L"0");
        return 0;
    }
    if (command == L"checked" && argc >= 3) {
        HWND window = control(_wtoi(argv[2]));
        if (!window) return 1;
        print(SendMessageW(window, BM_GETCHECK, 0, 0) == BST_CHECKED ? L"1" : L"0");
        return 0;
    }
    if (command == L"items" && argc >= 3) {
        HWND window = control(_wtoi(argv[2]));
        if (!window) return 1;
        const LRESULT count = SendMessageW(window, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            wchar_t buffer[512] = {};
            SendMessageW(window, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(buffer));
            print(std::wstring(L"[") + buffer + L"]");
        }
        return 0;
    }
    if (command == L"point" && argc >= 3) {
        // A click lands only where the control is uncovered and its window
        // takes input: wait for both, and say what is in the way if not.
        RECT box = {};
        HWND there = nullptr;
        const bool clickable = waitUntil(timeoutArgument(argc, argv, 3, 5000), [&] {
            HWND main = findTitle(mainTitle).found;
            HWND window = control(_wtoi(argv[2]));
            if (!window || !IsWindowEnabled(main) || IsIconic(main)) return false;
            GetWindowRect(window, &box);
            // Group boxes answer hit tests as transparent, so a real click
            // passes them; only another top-level window is in the way.
            there = WindowFromPoint(POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2});
            there = there ? GetAncestor(there, GA_ROOT) : nullptr;
            return there == main;
        });
        if (!clickable) {
            print(L"not clickable: " + describe(there) + L" at its centre");
            return 1;
        }
        print(std::to_wstring((box.left + box.right) / 2) + L" " +
              std::to_wstring((box.top + box.bottom) / 2));
        return 0;
    }
    if (command == L"error") {
        HWND box = waitFor(L"error", timeoutArgument(argc, argv, 2, 10000));
        if (!box) return 1;
        HWND message = child(box, L"Static", 0xFFFF);
        if (!message) message = child(box, L"Static", -1);
        print(message ? windowText(message) : L"");
        HWND ok = child(box, L"Button", IDOK);
        if (ok) PostMessageW(ok, BM_CLICK, 0, 0);
        else PostMessageW(box, WM_COMMAND, IDOK, 0);
        for (int waited = 0; IsWindow(box) && waited < 5000; waited += 50) Sleep(50);
        return 0;
    }
    if (command == L"dialog" && argc >= 3) {
        const int ms = timeoutArgument(argc, argv, 3, 10000);
        HWND dialog = waitFor(argv[2], ms);
        if (!dialog) return 1;
        // Keys typed before the dialog holds the focus would go elsewhere.
        HWND focused = nullptr;
        if (!waitUntil(ms, [&] {
                focused = focusOf(dialog);
                return focused && (focused == dialog || IsChild(dialog, focused));
            })) {
            print(L"(" + focusReport(focused) + L")");
            return 1;
        }
        HWND name = nameField(dialog);
        print(name ? windowText(name) : L"");
        return 0;
    }
    if (command == L"dialogtext" && argc >= 4) {
        const std::wstring expected = argv[3];
        std::wstring shown = L"(no dialog)";
        const bool seen = waitUntil(timeoutArgument(argc, argv, 4, 5000), [&] {
            HWND dialog = findTitle(argv[2]).found;
            HWND name = dialog ? nameField(dialog) : nullptr;
            if (name) shown = windowText(name);
            return name && shown == expected;
        });
        if (!seen) print(shown);
        return seen ? 0 : 1;
    }
    if (command == L"minimize" || command == L"iconic") {
        HWND window = findTitle(mainTitle).found;
        if (!window) return 1;
        if (command == L"minimize") {
            ShowWindowAsync(window, SW_MINIMIZE);
            for (int waited = 0; !IsIconic(window) && waited < 5000; waited += 50) Sleep(50);
        }
        print(IsIconic(window) ? L"1" : L"0");
        return 0;
    }
    if (command == L"enabled") {
        HWND window = findTitle(mainTitle).found;
        if (!window) return 1;
        print(IsWindowEnabled(window) ? L"1" : L"0");
        return 0;
    }
    if (command == L"record" && argc >= 4) {
        HANDLE file = CreateFileW(argv[3], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        long long size = -1;
        if (file != INVALID_HANDLE_VALUE) {
            LARGE_INTEGER bytes;
            if (GetFileSizeEx(file, &bytes)) size = bytes.QuadPart;
            CloseHandle(file);
        }
        std::wstring line = std::wstring(argv[3]) + L"|" + std::to_wstring(size) + L"\r\n";
        HANDLE log = CreateFileW(argv[2], FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 0, nullptr);
        if (log == INVALID_HANDLE_VALUE) return 1;
        std::string bytes = utf8(line);
        DWORD written = 0;
        WriteFile(log, bytes.data(), DWORD(bytes.size()), &written, nullptr);
        CloseHandle(log);
        return 0;
    }
    return 2;
}

}  // namespace

extern "C" int wmain(int argc, wchar_t** argv) { return run(argc, argv); }
