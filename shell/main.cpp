// Interim entry: shows the window and waits for Cancel, Escape or the close
// box, until the full start-up and event loop take its place.
#include "converter/job_settings.h"
#include "shell/main_window.h"
#include "toolkit/gui.h"

int wmain() {
    startToolkit();
    clearJobSettings();
    applyDefaultSettings(job);
    if (createMainWindow()) {
        for (;;) {
            int code = waitEvent();
            if (code == CloseEvent) break;
            if ((code == ShortcutEvent || code == ControlEvent) && eventNumber() == CancelButton)
                break;
        }
        closeWindow(MainWindow);
    }
    releaseToolkit();
    return 0;
}
