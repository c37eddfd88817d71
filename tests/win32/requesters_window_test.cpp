// The open and save-as dialogs for real, beside the real main window: what
// they show when they open, what they give back, and what becomes of the
// program's other windows while they are open. A thread timer looks into the
// dialog from inside its modal loop and then closes it.
#include "tests/win32/window_test_support.h"

#include <commdlg.h>
#include <dlgs.h>

#include "tests/test_support.h"
#include "toolkit/gui/requesters.h"

namespace {

struct DialogVisit {
    // What the timer does once the dialog is there.
    bool accept = false;
    std::u16string typedName;  // put into the name field first, unless empty
    bool typeName = false;

    // What it saw.
    bool seen = false;
    std::u16string title;
    std::u16string name;
    std::u16string folder;
    std::vector<std::u16string> filters;
    LRESULT filterSelected = CB_ERR;
    HWND owner = nullptr;
    bool mainEnabled = true;
    bool otherEnabled = true;
    bool otherTopmost = true;
    bool readOnlyBoxShown = true;
    bool stayedOpen = false;
};

DialogVisit visit;
UINT_PTR visitTimer = 0;
int ticksAfterClosing = 0;
HWND mainWindowUnderTest = nullptr;
HWND otherWindowUnderTest = nullptr;

struct ThreadDialogs {
    std::vector<HWND> found;
};

BOOL CALLBACK collectDialog(HWND window, LPARAM data) {
    if (IsWindowVisible(window) && classOf(window) == L"#32770")
        reinterpret_cast<ThreadDialogs*>(data)->found.push_back(window);
    return TRUE;
}

std::vector<HWND> dialogsOfThisThread() {
    ThreadDialogs dialogs;
    EnumThreadWindows(GetCurrentThreadId(), collectDialog, reinterpret_cast<LPARAM>(&dialogs));
    return dialogs.found;
}

// The explorer-style dialog keeps its name field in combo box cmb13; older
// forms have the edit field edt1.
HWND nameField(HWND dialog) {
    HWND field = GetDlgItem(dialog, cmb13);
    return field ? field : GetDlgItem(dialog, edt1);
}

void record(HWND dialog) {
    visit.seen = true;
    visit.title = textOf(dialog);
    visit.name = textOf(nameField(dialog));
    wchar_t folder[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    visit.folder = reinterpret_cast<const char16_t*>(folder);
    HWND types = GetDlgItem(dialog, cmb1);
    for (LRESULT i = 0, n = SendMessageW(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
        wchar_t entry[128] = {};
        SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry));
        visit.filters.push_back(reinterpret_cast<const char16_t*>(entry));
    }
    visit.filterSelected = SendMessageW(types, CB_GETCURSEL, 0, 0);
    visit.owner = GetWindow(dialog, GW_OWNER);
    visit.mainEnabled = IsWindowEnabled(mainWindowUnderTest);
    if (otherWindowUnderTest) {
        visit.otherEnabled = IsWindowEnabled(otherWindowUnderTest);
        visit.otherTopmost = (GetWindowLongW(otherWindowUnderTest, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    }
    HWND readOnly = GetDlgItem(dialog, chx1);
    visit.readOnlyBoxShown = readOnly && IsWindowVisible(readOnly);
}

void CALLBACK visitDialog(HWND, UINT, UINT_PTR, DWORD) {
    std::vector<HWND> dialogs = dialogsOfThisThread();
    if (visit.seen) {
        // A dialog still open long after it was closed (an unexpected
        // question, say) would hold the test forever: cancel everything.
        if (dialogs.empty()) {
            KillTimer(nullptr, visitTimer);
        } else if (++ticksAfterClosing > 30) {
            visit.stayedOpen = true;
            for (HWND dialog : dialogs) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        }
        return;
    }
    if (dialogs.empty()) return;
    HWND dialog = dialogs.front();
    record(dialog);
    if (visit.typeName)
        SetWindowTextW(nameField(dialog), reinterpret_cast<const wchar_t*>(visit.typedName.c_str()));
    PostMessageW(dialog, WM_COMMAND, visit.accept ? IDOK : IDCANCEL, 0);
}

enum class Kind { Open, Save };

class RequesterWindowTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        mainWindowUnderTest = window;
        otherWindowUnderTest = nullptr;
        SetForegroundWindow(window);
        pumpEvents();
    }

    void TearDown() override {
        if (otherWindowUnderTest) DestroyWindow(otherWindowUnderTest);
        otherWindowUnderTest = nullptr;
        MainWindowTest::TearDown();
    }

    std::u16string run(Kind kind, const std::u16string& title, const std::u16string& defaultFile,
                       const std::u16string& patterns, int index, DialogVisit plan) {
        visit = plan;
        ticksAfterClosing = 0;
        visitTimer = SetTimer(nullptr, 0, 100, visitDialog);
        std::u16string chosen = kind == Kind::Open
                                    ? openFileRequester(title, defaultFile, patterns, index)
                                    : saveFileRequester(title, defaultFile, patterns, index);
        KillTimer(nullptr, visitTimer);
        pumpEvents();
        EXPECT_TRUE(visit.seen) << "the dialog appeared";
        EXPECT_FALSE(visit.stayedOpen) << "the dialog closed when asked, with no question";
        return chosen;
    }

    static std::u16string withoutSeparator(std::u16string directory) {
        if (directory.size() > 3 && directory.back() == u'\\') directory.pop_back();
        return directory;
    }

    static DialogVisit cancelAfterTyping(const std::u16string& name) {
        DialogVisit plan;
        plan.typeName = true;
        plan.typedName = name;
        return plan;
    }

    static DialogVisit acceptTyped(const std::u16string& name) {
        DialogVisit plan = cancelAfterTyping(name);
        plan.accept = true;
        return plan;
    }

    static DialogVisit acceptAsOpened() {
        DialogVisit plan;
        plan.accept = true;
        return plan;
    }

    ScratchDir dir;
};

TEST_F(RequesterWindowTest, OpenRequesterStartsFromTheDefaultFileAndCancelGivesNothing) {
    writeBytes(dir.path(u"notes.txt"), "x");
    std::u16string chosen = run(Kind::Open, u"Source File", dir.path(u"notes.txt"),
                                u"Textfile | *.*", 0, cancelAfterTyping(u"other.txt"));
    EXPECT_EQ(u"", chosen) << "cancelled, although a name had been typed";
    EXPECT_EQ(u"Source File", visit.title);
    EXPECT_EQ(u"notes.txt", visit.name) << "the default file's name";
    EXPECT_EQ(withoutSeparator(dir.directory()), visit.folder) << "the default file's directory";
    EXPECT_EQ(std::vector<std::u16string>{u"Textfile "}, visit.filters)
        << "the blank before the bar belongs to the description";
    EXPECT_EQ(0, visit.filterSelected);
    EXPECT_EQ(window, visit.owner) << "owned by the program's window in the foreground";
    EXPECT_FALSE(visit.readOnlyBoxShown) << "no read-only box";
    EXPECT_TRUE(IsWindowEnabled(window)) << "the main window takes input again";
}

TEST_F(RequesterWindowTest, OtherWindowsAreDisabledAndLoseTopmostWhileTheDialogIsOpen) {
    otherWindowUnderTest = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"other",
                                           WS_POPUP, 0, 0, 50, 50, nullptr, nullptr,
                                           GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, otherWindowUnderTest);
    ShowWindow(otherWindowUnderTest, SW_SHOWNOACTIVATE);
    SetForegroundWindow(window);
    pumpEvents();

    run(Kind::Open, u"Source File", u"", u"Textfile | *.*", 0, DialogVisit{});
    EXPECT_FALSE(visit.mainEnabled) << "main window disabled while open";
    EXPECT_FALSE(visit.otherEnabled) << "other window disabled while open";
    EXPECT_FALSE(visit.otherTopmost) << "other window not topmost while open";
    EXPECT_EQ(u"", visit.name) << "an empty default leaves the name empty";

    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_TRUE(IsWindowEnabled(otherWindowUnderTest)) << "enabled again";
    EXPECT_TRUE(GetWindowLongW(otherWindowUnderTest, GWL_EXSTYLE) & WS_EX_TOPMOST)
        << "topmost again";
}

TEST_F(RequesterWindowTest, WildcardDefaultOpensTheCurrentDirectoryWithAnEmptyName) {
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    ASSERT_TRUE(SetCurrentDirectoryW(reinterpret_cast<const wchar_t*>(dir.directory().c_str())));
    std::u16string chosen = run(Kind::Save, u"Product File", u".\\*.*", u"HTML file | *.HTM;*.HTML",
                                0, acceptTyped(u"page.htm"));
    SetCurrentDirectoryW(before);
    EXPECT_EQ(u"Product File", visit.title);
    EXPECT_EQ(u"", visit.name) << "a wildcard name is not offered";
    EXPECT_EQ(withoutSeparator(dir.directory()), visit.folder);
    EXPECT_EQ(std::vector<std::u16string>{u"HTML file "}, visit.filters);
    EXPECT_EQ(dir.path(u"page.htm"), chosen) << "the full path of the typed name";
}

TEST_F(RequesterWindowTest, ChosenFilesComeBackWhetherTheyExistOrNot) {
    writeBytes(dir.path(u"existing.htm"), "x");
    wchar_t before[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, before);
    static const struct {
        Kind kind;
        const char16_t* name;
    } cases[] = {
        // No question before an existing file is chosen for saving.
        {Kind::Save, u"existing.htm"},
        // The open dialog takes a name that does not exist in a directory
        // that does.
        {Kind::Open, u"missing.txt"},
    };
    for (const auto& c : cases) {
        std::u16string chosen = run(c.kind, u"Pick", dir.path(c.name), u"Text | *.txt|All | *.*",
                                    1, acceptAsOpened());
        EXPECT_EQ(dir.path(c.name), chosen);
        EXPECT_EQ((std::vector<std::u16string>{u"Text ", u"All "}), visit.filters);
        EXPECT_EQ(1, visit.filterSelected) << "pattern index 1 is the second pair";
        wchar_t after[MAX_PATH] = {};
        GetCurrentDirectoryW(MAX_PATH, after);
        EXPECT_STREQ(before, after) << "the current directory is left alone";
    }
    EXPECT_EQ("x", readBytes(dir.path(u"existing.htm"))) << "nothing is written";
}

}  // namespace
