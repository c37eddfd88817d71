#include "shell/main_window.h"

#include <windows.h>

#include "converter/job_settings.h"
#include "toolkit/gui.h"
#include "toolkit/strings.h"

namespace {

constexpr int noNumber = -1;
constexpr int enterKey = VK_RETURN;
constexpr int escapeKey = VK_ESCAPE;

}  // namespace

int createMainWindow() {
    if (!openWindow(MainWindow, 0, 0, kMainWindowWidth, kMainWindowHeight, kMainWindowTitle,
                    WS_CAPTION | WS_SYSMENU | CenterWindow))
        return 0;
    // Without the font the controls fall back to the system's; still usable.
    setDefaultFont(loadFont(u"Arial", 9));

    createFrame(noNumber, 5, 10, 420, 80, u"Template file (.tpl.txt):");
    createDropDownList(TemplateList, 15, 32, 295, 23);
    createButton(EditButton, 315, 31, 100, 24, u"Edit");
    createLabel(noNumber, 15, 65, 235, 22, u"Number of different header styles:");
    createTextField(HeaderStylesField, 235, 63, 30, 22, numberToText(job.titleRange), true);

    createFrame(noNumber, 5, 100, 420, 52, u"Source file:");
    createTextField(SourceField, 15, 122, 380, 22, job.sourcePath, false);
    createButton(SourceBrowseButton, 397, 122, 20, 22, u"..");

    createFrame(noNumber, 5, 160, 420, 75, u"Product file:");
    createTextField(ProductField, 15, 182, 380, 22, job.productPath, false);
    createButton(ProductBrowseButton, 397, 182, 20, 22, u"..");
    createCheckBox(OpenItBox, 15, 208, 120, 22, u"Open it");
    setState(OpenItBox, 1);

    createFrame(noNumber, 5, 246, 420, 75, u"Options:");
    createCheckBox(PageSeparatorBox, 15, 266, 150, 22, u"Page separator lines");
    setState(PageSeparatorBox, job.pageSeparator);
    createLabel(noNumber, 15, 293, 125, 22, u"Title for Browser:");
    createTextField(BrowserTitleField, 145, 289, 270, 22, job.browserTitle, false);

    createButton(OkButton, 112, 335, 100, 24, u"Ok");
    createButton(CancelButton, 217, 335, 100, 24, u"Cancel");

    addShortcut(MainWindow, enterKey, OkButton);
    addShortcut(MainWindow, escapeKey, CancelButton);
    return 1;
}
