#include "shell/main_window.h"

#include <windows.h>

#include "converter/job_settings.h"
#include "toolkit/gui/dropped_files.h"
#include "toolkit/gui/gui.h"
#include "toolkit/gui/screen_scale.h"
#include "toolkit/text/strings.h"

namespace {

constexpr int noNumber = -1;
constexpr int enterKey = VK_RETURN;
constexpr int escapeKey = VK_ESCAPE;

// The layout below is in pixels at 96 DPI.
int scaled(int layoutPixels) { return scaledForScreen(layoutPixels); }

// A file dropped on the window is taken as if chosen with "..".
void takeDroppedSource(const std::u16string& path) {
    setText(SourceField, path);
    job.sourcePath = path;
}

}  // namespace

int createMainWindow() {
    if (!openWindow(MainWindow, 0, 0, scaled(kMainWindowWidth), scaled(kMainWindowHeight),
                    kMainWindowTitle, WS_CAPTION | WS_SYSMENU | CenterWindow))
        return 0;
    // Without the font the controls fall back to the system's; still usable.
    setDefaultFont(loadFont(u"Arial", 9));

    createFrame(noNumber, scaled(5), scaled(10), scaled(420), scaled(80),
                u"Template file (.tpl.txt):");
    createDropDownList(TemplateList, scaled(15), scaled(32), scaled(295), scaled(23));
    createButton(EditButton, scaled(315), scaled(31), scaled(100), scaled(24), u"Edit");
    createLabel(noNumber, scaled(15), scaled(65), scaled(235), scaled(22),
                u"Number of different header styles:");
    createTextField(HeaderStylesField, scaled(235), scaled(63), scaled(30), scaled(22),
                    numberToText(job.titleRange), true);

    createFrame(noNumber, scaled(5), scaled(100), scaled(420), scaled(52), u"Source file:");
    createTextField(SourceField, scaled(15), scaled(122), scaled(380), scaled(22), job.sourcePath,
                    false);
    createButton(SourceBrowseButton, scaled(397), scaled(122), scaled(20), scaled(22), u"..");

    createFrame(noNumber, scaled(5), scaled(160), scaled(420), scaled(75), u"Product file:");
    createTextField(ProductField, scaled(15), scaled(182), scaled(380), scaled(22), job.productPath,
                    false);
    createButton(ProductBrowseButton, scaled(397), scaled(182), scaled(20), scaled(22), u"..");
    createCheckBox(OpenItBox, scaled(15), scaled(208), scaled(120), scaled(22), u"Open it");
    setState(OpenItBox, 1);

    createFrame(noNumber, scaled(5), scaled(246), scaled(420), scaled(75), u"Options:");
    createCheckBox(PageSeparatorBox, scaled(15), scaled(266), scaled(150), scaled(22),
                   u"Page separator lines");
    setState(PageSeparatorBox, job.pageSeparator);
    createLabel(noNumber, scaled(15), scaled(293), scaled(125), scaled(22), u"Title for Browser:");
    createTextField(BrowserTitleField, scaled(145), scaled(289), scaled(270), scaled(22),
                    job.browserTitle, false);

    createButton(OkButton, scaled(112), scaled(335), scaled(100), scaled(24), u"Ok");
    createButton(CancelButton, scaled(217), scaled(335), scaled(100), scaled(24), u"Cancel");

    addShortcut(MainWindow, enterKey, OkButton);
    addShortcut(MainWindow, escapeKey, CancelButton);
    acceptDroppedFiles(MainWindow, takeDroppedSource);
    return 1;
}
