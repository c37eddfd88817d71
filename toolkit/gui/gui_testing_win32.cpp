// The window tests' look at the events, over the registry's queue.
#include "toolkit/gui/gui_testing.h"

#include "toolkit/gui/gui_registry_win32.h"

using namespace gui;

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

int eventWindow() { return tk.current.window; }
