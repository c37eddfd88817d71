// The registry behind gui.h: which window and control each number names, the
// event queue, and the fonts the controls use. Shared by the gui_*_win32.cpp
// units and by nothing else.
//
// Every toolkit window has a class of its own and one window procedure that
// turns WM_COMMAND and WM_CLOSE into queued events (gui_events_win32.cpp).
// Controls are subclassed so that a text field can report its focus and a
// destroyed control can forget its number; the number is the control's
// GWLP_ID, so a notification leads straight back to it.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "toolkit/gui/gui.h"

namespace gui {

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
    std::u16string className;
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

struct Registry {
    std::map<int, WindowRecord> windows;
    std::map<int, ControlRecord> controls;
    std::deque<Event> queue;
    Event current;
    int creationWindow = -1;  // the window that new controls go into
    int quietDepth = 0;
    bool stockDefaultFont = true;
    HFONT defaultFont = nullptr;
    std::vector<OwnedFont> fonts;
    int nextOwnNumber = firstOwnNumber;
};

extern Registry tk;

// The program's own changes to its controls must not come back as events.
struct QuietChanges {
    QuietChanges() { ++tk.quietDepth; }
    ~QuietChanges() { --tk.quietDepth; }
    QuietChanges(const QuietChanges&) = delete;
    QuietChanges& operator=(const QuietChanges&) = delete;
};

inline HINSTANCE programInstance() { return GetModuleHandleW(nullptr); }

WindowRecord* findWindow(int number);
ControlRecord* findControl(int number);
// The control behind a handle, with its number; null for a handle that is
// not (or no longer) a toolkit control.
ControlRecord* controlOf(HWND handle, int& number);

// --- Windows (gui_windows_win32.cpp) ---------------------------------------

// The window number that openWindow stored on a handle; -1 for none.
int windowNumberOf(HWND handle);
void forgetWindowNumber(HWND handle);

// Destroys every window and control, empties the queue and forgets the
// fonts: the windows' part of releaseToolkit.
void releaseWindows();

// --- Events (gui_events_win32.cpp) -----------------------------------------

LRESULT CALLBACK windowProc(HWND handle, UINT message, WPARAM wParam, LPARAM lParam);
// Puts a new control under controlProc, which passes every message on to
// the control's own procedure.
void subclassControl(HWND handle);
void queueEvent(int code, int window, int number, int subtype, WPARAM data1 = 0,
                LPARAM data2 = 0);
// Drops every queued event of a window that is closed.
void dropWindowEvents(int window);
// Makes the first queued event the current one and returns its code.
int takeEvent();
// Queues a quit request: the first window's close event.
void queueQuit();
// Drops a destroyed control from the registry with its queued events.
void forgetControl(int number);

// --- Keyboard (gui_keyboard_win32.cpp) -------------------------------------

void rebuildAccelerators(WindowRecord& window);
// Tab and Shift+Tab: the focus moves to the next or previous tab stop.
void moveFocus(HWND window, bool forward);
// Translates a window's shortcuts, then dispatches the message.
void handleMessage(MSG& message);

}  // namespace gui
