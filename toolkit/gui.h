// Numbered windows and controls over Win32, turning messages into a queue of
// numbered events. Windows only.
#pragma once

#include <string>

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

// openWindow flag: centre the outer frame on the primary screen.
constexpr unsigned CenterWindow = 1;

void startToolkit();
void releaseToolkit();

void* openWindow(int number, int x, int y, int innerWidth, int innerHeight,
                 const std::u16string& title, unsigned flags);
void closeWindow(int number);
void* windowHandle(int number);
void* controlHandle(int number);

void* loadFont(const std::u16string& faceName, int points);
void setDefaultFont(void* font);  // (void*)-1 restores the default GUI font

void* createFrame(int number, int x, int y, int width, int height, const std::u16string& text);
void* createLabel(int number, int x, int y, int width, int height, const std::u16string& text);
void* createTextField(int number, int x, int y, int width, int height, const std::u16string& text,
                      bool digitsOnly);
void* createButton(int number, int x, int y, int width, int height, const std::u16string& text);
void* createCheckBox(int number, int x, int y, int width, int height, const std::u16string& text);
void* createDropDownList(int number, int x, int y, int width, int height);

std::u16string getText(int number);
void setText(int number, const std::u16string& text);
int getState(int number);
void setState(int number, int state);
void clearItems(int number);
void addItem(int number, int position, const std::u16string& text);

// key: virtual-key code in bits 0-15; bit 16 Shift, 17 Control, 18 Alt.
constexpr int ShiftKey = 1 << 16;
constexpr int ControlKey = 1 << 17;
constexpr int AltKey = 1 << 18;
void addShortcut(int window, int key, int number);

int waitEvent();
int eventNumber();
int eventSubtype();
int eventWindow();

// Platform services the shell needs beside its window.
void alertSound();
void openWithShell(const std::u16string& path);  // verb "open", owner window 0
void showErrorBox(std::u16string_view message);    // caption "error", owner window 0
bool activateRunningCopy(const std::u16string& title);
