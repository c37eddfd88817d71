// The toolkit's start and end: the one place that knows every service that
// holds something until the program ends.
#include "toolkit/toolkit.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "toolkit/fs/directory_scan.h"
#include "toolkit/gui/gui_registry_win32.h"
#include "toolkit/text_file/text_file.h"

namespace {

bool comStarted = false;

}  // namespace

void startToolkit() {
    INITCOMMONCONTROLSEX classes{};
    classes.dwSize = sizeof(classes);
    classes.dwICC = ICC_TAB_CLASSES | ICC_HOTKEY_CLASS | ICC_DATE_CLASSES | ICC_USEREX_CLASSES |
                    ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&classes);
    if (!comStarted) comStarted = SUCCEEDED(CoInitialize(nullptr));
}

void releaseToolkit() {
    gui::releaseWindows();
    text_file::closeAllTextFiles();
    finishAllDirectories();
    if (comStarted) CoUninitialize();
    comStarted = false;
}
