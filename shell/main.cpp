// The window program's entry: start-up, the single-instance rule, the event
// loop that dispatches the window's buttons and shortcuts, and the settings
// written back after a successful run.
#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "shell/file_choosers.h"
#include "shell/job_settings_io.h"
#include "shell/main_window.h"
#include "shell/make_product.h"
#include "shell/settings_store.h"
#include "shell/template_list.h"
#include "toolkit/gui/gui.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/toolkit.h"

namespace {

SettingsStore store;

// Runs until "Ok" succeeds, "Cancel" or Escape, or the close box; returns the
// result of the last conversion run.
int runEventLoop() {
    int result = 0;
    for (;;) {
        int action = 0;
        const int code = waitEvent();
        if (code == CloseEvent) return result;
        if (code == ShortcutEvent || code == ControlEvent) action = eventNumber();

        switch (action) {
        case OkButton:
            // textToNumber gives 64 bits; the setting keeps the low 32.
            job.titleRange = static_cast<std::int32_t>(textToNumber(getText(HeaderStylesField)));
            job.pageSeparator = getState(PageSeparatorBox);
            job.browserTitle = getText(BrowserTitleField);
            result = makeProduct();
            if (result) return result;
            break;
        case CancelButton:
            return result;
        case EditButton:
            editTemplate();
            break;
        case SourceBrowseButton:
            chooseSourceFile();
            break;
        case ProductBrowseButton:
            chooseProductFile();
            break;
        case TemplateList:
            // Rescanning as the list opens shows a template that "Edit" has
            // just created.
            if (code == ControlEvent && eventSubtype() == DropDownOpened) {
                job.templateName = getText(TemplateList);
                refreshTemplateList();
            }
            break;
        default:
            break;
        }
    }
}

void runProgram() {
    store.settingsPath = job.programDirectory + u"Pagesmith.ini";
    job.settingsPath = store.settingsPath;
    load(store);
    readJobSettings(store, job);
    templateNames.clear();

    // Without a window there is nothing to wait for.
    if (!createMainWindow()) return;
    refreshTemplateList();

    const int result = runEventLoop();
    closeWindow(MainWindow);

    if (result) {
        writeJobSettings(store, job);
        save(store);
    }
}

}  // namespace

int wmain() {
    clearJobSettings();
    startToolkit();
    setErrorSink(showErrorBox);

    // A second copy only brings the first one forward; it neither reads nor
    // writes the settings, and the command line goes nowhere.
    if (!activateRunningCopy(kMainWindowTitle)) {
        job.programDirectory = directoryPart(programFileName());
        job.sourcePath = normalizePath(nextProgramParameter());
        runProgram();
    }

    releaseToolkit();
    return 0;
}
