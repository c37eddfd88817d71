// Numbered windows and controls over Win32, turning messages into a queue of
// numbered events. Windows only.
//
// The program picks the numbers; the toolkit maps them to handles. Operations
// on a number that names nothing do nothing and return 0 or an empty text.
//
// One unit per concern: gui_windows_win32.cpp (windows and the handles
// behind numbers), gui_controls_win32.cpp (controls and fonts),
// gui_keyboard_win32.cpp (shortcuts and focus), gui_events_win32.cpp (the
// event queue) and gui_services_win32.cpp (the services beside the window);
// their shared registry is gui_registry_win32.h. toolkit.h starts and ends
// the toolkit as a whole.
#pragma once

#include <string>
#include <string_view>

enum EventCode : int {
    ControlEvent = 13100,
    ShortcutEvent = 13101,
    CloseEvent = 13116,
};

enum EventSubtype : int {
    ClickedSubtype = 0,
    DropDownOpened = 7,
    SelectionChanged = 768,
    FocusGained = 14000,
    FocusLost = 14001,
};

// Shortcut numbers the toolkit keeps for itself: Tab and Shift+Tab move the
// focus between tab stops and never reach the program as events.
constexpr int NextTabStop = 64001;
constexpr int PreviousTabStop = 64002;

// openWindow flags: the Win32 window styles (WS_CAPTION, WS_SYSMENU, ...) in
// the high 16 bits, plus this bit: centre the outer frame on the primary
// screen.
constexpr unsigned CenterWindow = 1;

// --- Windows (gui_windows_win32.cpp) ---------------------------------------

void* openWindow(int number, int x, int y, int innerWidth, int innerHeight,
                 const std::u16string& title, unsigned flags);
void closeWindow(int number);
void* windowHandle(int number);
void* controlHandle(int number);

// --- Controls and fonts (gui_controls_win32.cpp) ---------------------------

void* loadFont(const std::u16string& faceName, int points);
// (void*)-1 restores the default GUI font; nullptr leaves new controls with
// the system font.
void setDefaultFont(void* font);

// number -1: the toolkit picks one; such controls are never addressed again.
void* createFrame(int number, int x, int y, int width, int height, const std::u16string& text);
void* createLabel(int number, int x, int y, int width, int height, const std::u16string& text);
void* createTextField(int number, int x, int y, int width, int height, const std::u16string& text,
                      bool digitsOnly);
void* createButton(int number, int x, int y, int width, int height, const std::u16string& text);
void* createCheckBox(int number, int x, int y, int width, int height, const std::u16string& text);
// height is the closed box's outer height.
void* createDropDownList(int number, int x, int y, int width, int height);

// A drop-down list's text is its selected entry ("" with none selected);
// setText does not apply to it.
std::u16string getText(int number);
void setText(int number, const std::u16string& text);
// Check box: 1 ticked, 0 clear, -1 indeterminate. Drop-down list: the
// selected position, -1 with none.
int getState(int number);
void setState(int number, int state);
void clearItems(int number);
void addItem(int number, int position, const std::u16string& text);  // position -1 appends

// --- Shortcuts (gui_keyboard_win32.cpp) ------------------------------------

// key: virtual-key code in bits 0-15; bit 16 Shift, 17 Control, 18 Alt.
// Binding a key that is already bound replaces its number.
constexpr int ShiftKey = 1 << 16;
constexpr int ControlKey = 1 << 17;
constexpr int AltKey = 1 << 18;
void addShortcut(int window, int key, int number);

// --- Events (gui_events_win32.cpp) -----------------------------------------

// Blocks until an event is queued or a platform message has been handled.
// Returns the event code, or for a message that queued nothing the message's
// own number (0 where that number would read as an event code).
int waitEvent();
int eventNumber();
int eventSubtype();

// --- Services beside the window (gui_services_win32.cpp) -------------------

void alertSound();
void openWithShell(const std::u16string& path);  // verb "open", owned by window 0
void showErrorBox(std::u16string_view message);    // caption "error", owned by window 0
// Restores and raises a top-level window titled exactly `title`; false when
// there is none.
bool activateRunningCopy(const std::u16string& title);
