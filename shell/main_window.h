// The program's one window: its number, the numbers of its controls (which
// are also the shortcut numbers of the event loop) and its title.
#pragma once

enum WindowNumber : int {
    MainWindow = 0,
};

enum ControlNumber : int {
    TemplateList = 3,
    EditButton = 4,
    SourceField = 5,
    SourceBrowseButton = 6,
    ProductField = 7,
    ProductBrowseButton = 8,
    HeaderStylesField = 9,
    PageSeparatorBox = 10,
    BrowserTitleField = 11,
    OpenItBox = 12,
    OkButton = 13,
    CancelButton = 14,
};

// The trailing blank is part of the title: a second copy of the program finds
// the running one by exactly this text. Its "0.73" is not the program's
// version (project() in CMakeLists.txt, PAGESMITH_VERSION_TEXT) and must not
// follow it: copies of every version find each other by this one title.
inline constexpr char16_t kMainWindowTitle[] = u"Notewell's HTML 0.73 ";

constexpr int kMainWindowWidth = 430;
constexpr int kMainWindowHeight = 375;

// Builds the window and its controls from `job`, except the template list's
// entries. Returns 1, or 0 (creating no control) when the window cannot be
// made.
int createMainWindow();
