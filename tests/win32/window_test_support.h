// Real windows under test: the main window built from `job`, the events it
// queues, and keys posted the way the system posts them.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "converter/job_settings.h"
#include "shell/main_window.h"
#include "toolkit/gui/gui.h"
#include "toolkit/gui/gui_testing.h"
#include "toolkit/toolkit.h"

struct SeenEvent {
    int code;
    int window;
    int number;
    int subtype;
};

inline bool operator==(const SeenEvent& a, const SeenEvent& b) {
    return a.code == b.code && a.window == b.window && a.number == b.number &&
           a.subtype == b.subtype;
}

inline std::ostream& operator<<(std::ostream& out, const SeenEvent& e) {
    return out << "{code " << e.code << ", window " << e.window << ", number " << e.number
               << ", subtype " << e.subtype << "}";
}

using Events = std::vector<SeenEvent>;

inline SeenEvent control(int number, int subtype) {
    return SeenEvent{ControlEvent, MainWindow, number, subtype};
}
inline SeenEvent shortcut(int number) { return SeenEvent{ShortcutEvent, MainWindow, number, 0}; }

// Handles every waiting message and returns the events they queued, oldest
// first.
inline Events pumpEvents() {
    Events seen;
    for (int code; (code = pollEvent()) != 0;)
        seen.push_back(SeenEvent{code, eventWindow(), eventNumber(), eventSubtype()});
    return seen;
}

// A key as the system posts it to the focused window. Shift and Control are
// read from the thread's key state, as TranslateAcceleratorW does.
inline void postKey(HWND target, WPARAM key, bool shift = false) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
}

inline std::u16string textOf(HWND handle) {
    wchar_t buffer[512] = {};
    int length = GetWindowTextW(handle, buffer, 512);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), static_cast<size_t>(length));
}

inline std::wstring classOf(HWND handle) {
    wchar_t buffer[64] = {};
    GetClassNameW(handle, buffer, 64);
    return buffer;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        startToolkit();
        clearJobSettings();
        applyDefaultSettings(job);
        prepareJob();
        ASSERT_EQ(1, createMainWindow()) << "the main window is created";
        window = static_cast<HWND>(windowHandle(MainWindow));
        ASSERT_NE(nullptr, window);
        pumpEvents();
    }

    void TearDown() override {
        closeWindow(MainWindow);
        releaseToolkit();
    }

    virtual void prepareJob() {}

    static HWND handleOf(int number) { return static_cast<HWND>(controlHandle(number)); }

    HWND window = nullptr;
};
