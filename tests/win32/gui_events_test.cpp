// Real messages to the real main window, pumped through the toolkit's queue:
// which events come out, how many, and which do not.
#include "tests/win32/window_test_support.h"

#include <objbase.h>

#include "tests/test_support.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/text_file/text_file.h"

namespace {

// Records the keys a control is handed, in front of the toolkit's own
// subclass procedure.
struct KeyRecorder {
    static inline std::vector<UINT> seen;
    static inline WNDPROC previous = nullptr;

    explicit KeyRecorder(HWND control) : handle(control) {
        seen.clear();
        previous = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(record)));
    }
    ~KeyRecorder() {
        SetWindowLongPtrW(handle, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
    }

    static LRESULT CALLBACK record(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_KEYDOWN || message == WM_CHAR) seen.push_back(message);
        return CallWindowProcW(previous, hwnd, message, wParam, lParam);
    }

    HWND handle;
};

class GuiEventsTest : public MainWindowTest {
protected:
    void fillList() {
        addItem(TemplateList, -1, u"alpha");
        addItem(TemplateList, -1, u"beta");
        addItem(TemplateList, -1, u"gamma");
        setState(TemplateList, 0);
    }

    // The control sends its click notification as the system would.
    void notifyFrom(int number, WORD code) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(number, code),
                     reinterpret_cast<LPARAM>(handleOf(number)));
    }
};

TEST_F(GuiEventsTest, ButtonClickGivesExactlyOneControlEvent) {
    static const struct {
        int number;
        Events expected;
    } cases[] = {
        {EditButton, {control(EditButton, ClickedSubtype)}},
        {SourceBrowseButton, {control(SourceBrowseButton, ClickedSubtype)}},
        {OkButton, {control(OkButton, ClickedSubtype)}},
        {CancelButton, {control(CancelButton, ClickedSubtype)}},
        {OpenItBox, {control(OpenItBox, ClickedSubtype)}},
    };
    for (const auto& c : cases) {
        SendMessageW(handleOf(c.number), BM_CLICK, 0, 0);
        EXPECT_EQ(c.expected, pumpEvents()) << "BM_CLICK on control " << c.number;
    }
    EXPECT_EQ(0, getState(OpenItBox)) << "the check box toggled itself";
}

TEST_F(GuiEventsTest, EnterAndEscapeReachTheShortcutsFromEveryControl) {
    fillList();
    static const int everyControl[] = {TemplateList, EditButton,         HeaderStylesField,
                                       SourceField,  SourceBrowseButton, ProductField,
                                       ProductBrowseButton, OpenItBox,   PageSeparatorBox,
                                       BrowserTitleField,   OkButton,    CancelButton};
    static const struct {
        WPARAM key;
        int shortcutNumber;
    } keys[] = {{VK_RETURN, OkButton}, {VK_ESCAPE, CancelButton}};
    for (int focusedNumber : everyControl) {
        for (const auto& k : keys) {
            HWND focused = handleOf(focusedNumber);
            SetFocus(focused);
            pumpEvents();
            std::u16string before = textOf(focused);
            int stateBefore = getState(focusedNumber);
            KeyRecorder recorder(focused);
            postKey(focused, k.key);
            EXPECT_EQ(Events{shortcut(k.shortcutNumber)}, pumpEvents())
                << "key " << k.key << " with control " << focusedNumber << " focused";
            EXPECT_TRUE(KeyRecorder::seen.empty())
                << "control " << focusedNumber << " was handed the key " << k.key;
            EXPECT_EQ(before, textOf(focused)) << "text of control " << focusedNumber;
            EXPECT_EQ(stateBefore, getState(focusedNumber)) << "state of control " << focusedNumber;
        }
    }
}

TEST_F(GuiEventsTest, SpaceOnAFocusedButtonPressesThatButton) {
    for (int number : {EditButton, OkButton, CancelButton, OpenItBox, PageSeparatorBox}) {
        SetFocus(handleOf(number));
        pumpEvents();
        postKey(handleOf(number), VK_SPACE);
        EXPECT_EQ(Events{control(number, ClickedSubtype)}, pumpEvents())
            << "Space on control " << number;
    }
    EXPECT_EQ(0, getState(OpenItBox)) << "Space cleared the ticked box";
    EXPECT_EQ(0, getState(PageSeparatorBox)) << "Space cleared the ticked box";
}

TEST_F(GuiEventsTest, EscapeAndEnterCloseAnOpenListInsteadOfActing) {
    fillList();
    HWND list = handleOf(TemplateList);
    for (WPARAM key : {WPARAM(VK_ESCAPE), WPARAM(VK_RETURN)}) {
        SetFocus(list);
        SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
        ASSERT_TRUE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0)) << "list opened";
        pumpEvents();
        postKey(list, key);
        EXPECT_EQ(Events{}, pumpEvents()) << "no shortcut for key " << key;
        EXPECT_FALSE(SendMessageW(list, CB_GETDROPPEDSTATE, 0, 0)) << "key " << key << " closed it";
    }
}

TEST_F(GuiEventsTest, CloseBoxQueuesCloseEventAndTheWindowStays) {
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(Events{(SeenEvent{CloseEvent, MainWindow, MainWindow, 0})}, pumpEvents());
    EXPECT_TRUE(IsWindow(window)) << "not destroyed";
    EXPECT_TRUE(IsWindowVisible(window)) << "still shown";
    EXPECT_EQ(window, windowHandle(MainWindow)) << "number still known";
}

TEST_F(GuiEventsTest, ProgramChangesToControlsQueueNothing) {
    setText(SourceField, u"C:\\changed.txt");
    setText(BrowserTitleField, u"");
    setState(PageSeparatorBox, 0);
    setState(OpenItBox, 1);
    clearItems(TemplateList);
    fillList();
    setState(TemplateList, 2);
    EXPECT_EQ(Events{}, pumpEvents());
    EXPECT_EQ(u"C:\\changed.txt", getText(SourceField));
    EXPECT_EQ(u"gamma", getText(TemplateList));
    EXPECT_EQ(2, getState(TemplateList));
    EXPECT_EQ(0, getState(PageSeparatorBox));
}

TEST_F(GuiEventsTest, TypingIntoATextFieldIsReported) {
    HWND field = handleOf(SourceField);
    SetFocus(field);
    // The toolkit's own focus sub-type first, then the field's notification.
    EXPECT_EQ((Events{control(SourceField, FocusGained), control(SourceField, EN_SETFOCUS)}),
              pumpEvents());
    PostMessageW(field, WM_CHAR, L'a', 1);
    EXPECT_EQ((Events{control(SourceField, EN_UPDATE), control(SourceField, EN_CHANGE)}),
              pumpEvents());
    SetFocus(handleOf(OkButton));
    EXPECT_EQ((Events{control(SourceField, FocusLost), control(SourceField, EN_KILLFOCUS)}),
              pumpEvents());
    EXPECT_EQ(u"a", getText(SourceField));
}

TEST_F(GuiEventsTest, ListReportsUserSelectionAndOpeningOnly) {
    fillList();
    HWND list = handleOf(TemplateList);
    SetFocus(list);
    EXPECT_EQ(Events{}, pumpEvents()) << "focus into the list queues nothing";

    postKey(list, VK_DOWN);
    EXPECT_EQ(Events{control(TemplateList, SelectionChanged)}, pumpEvents()) << "keyboard choice";
    EXPECT_EQ(u"beta", getText(TemplateList));

    SendMessageW(list, CB_SETCURSEL, 2, 0);
    notifyFrom(TemplateList, CBN_SELCHANGE);
    EXPECT_EQ(Events{control(TemplateList, SelectionChanged)}, pumpEvents())
        << "selection change notified by the control";

    SendMessageW(list, CB_SHOWDROPDOWN, TRUE, 0);
    EXPECT_EQ(Events{control(TemplateList, DropDownOpened)}, pumpEvents()) << "opening";
    SendMessageW(list, CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(Events{}, pumpEvents()) << "closing";

    for (WORD code : {WORD(CBN_SETFOCUS), WORD(CBN_KILLFOCUS), WORD(CBN_CLOSEUP),
                      WORD(CBN_SELENDOK), WORD(CBN_SELENDCANCEL), WORD(CBN_DBLCLK)}) {
        notifyFrom(TemplateList, code);
        EXPECT_EQ(Events{}, pumpEvents()) << "notification " << code;
    }
}

TEST_F(GuiEventsTest, AnEventEqualToTheNewestQueuedOneIsDropped) {
    static const struct {
        std::vector<int> clicks;
        Events expected;
    } cases[] = {
        {{EditButton, EditButton}, {control(EditButton, 0)}},
        {{EditButton, EditButton, EditButton}, {control(EditButton, 0)}},
        {{EditButton, OkButton, EditButton},
         {control(EditButton, 0), control(OkButton, 0), control(EditButton, 0)}},
        {{OkButton, OkButton, CancelButton, CancelButton},
         {control(OkButton, 0), control(CancelButton, 0)}},
    };
    for (const auto& c : cases) {
        for (int number : c.clicks) notifyFrom(number, BN_CLICKED);
        EXPECT_EQ(c.expected, pumpEvents()) << c.clicks.size() << " clicks";
    }

    notifyFrom(OkButton, BN_CLICKED);
    EXPECT_EQ(Events{control(OkButton, 0)}, pumpEvents());
    notifyFrom(OkButton, BN_CLICKED);
    EXPECT_EQ(Events{control(OkButton, 0)}, pumpEvents()) << "once taken, it may come again";
}

// Tab order is creation order over the tab stops.
const int tabOrder[] = {TemplateList,       EditButton,          HeaderStylesField,
                        SourceField,        SourceBrowseButton,  ProductField,
                        ProductBrowseButton, OpenItBox,          PageSeparatorBox,
                        BrowserTitleField,  OkButton,            CancelButton};
constexpr int tabStops = static_cast<int>(std::size(tabOrder));

TEST_F(GuiEventsTest, TabMovesForwardThroughTheTabStopsAndWraps) {
    SetFocus(window);
    for (int i = 0; i <= tabStops; ++i) {
        postKey(GetFocus(), VK_TAB);
        pumpEvents();
        EXPECT_EQ(handleOf(tabOrder[i % tabStops]), GetFocus()) << "Tab number " << i + 1;
    }
}

TEST_F(GuiEventsTest, ShiftTabMovesBackwardAndWraps) {
    SetFocus(window);
    for (int i = 0; i <= tabStops; ++i) {
        postKey(GetFocus(), VK_TAB, true);
        pumpEvents();
        EXPECT_EQ(handleOf(tabOrder[(tabStops - 1 - i + tabStops) % tabStops]), GetFocus())
            << "Shift+Tab number " << i + 1;
    }
    postKey(GetFocus(), VK_TAB, false);
}

TEST_F(GuiEventsTest, TabSkipsDisabledAndHiddenControls) {
    EnableWindow(handleOf(EditButton), FALSE);
    ShowWindow(handleOf(HeaderStylesField), SW_HIDE);
    EnableWindow(handleOf(CancelButton), FALSE);
    static const struct {
        int from;
        bool forward;
        int to;
    } cases[] = {
        {TemplateList, true, SourceField},
        {SourceField, false, TemplateList},
        {OkButton, true, TemplateList},
        {TemplateList, false, OkButton},
    };
    for (const auto& c : cases) {
        SetFocus(handleOf(c.from));
        pumpEvents();
        postKey(GetFocus(), VK_TAB, !c.forward);
        pumpEvents();
        EXPECT_EQ(handleOf(c.to), GetFocus())
            << (c.forward ? "Tab" : "Shift+Tab") << " from control " << c.from;
    }
    postKey(GetFocus(), VK_SHIFT, false);
    pumpEvents();
}

TEST_F(GuiEventsTest, TabQueuesOnlyTheTextFieldsFocusEvents) {
    SetFocus(handleOf(EditButton));
    pumpEvents();
    postKey(GetFocus(), VK_TAB);
    EXPECT_EQ((Events{control(HeaderStylesField, FocusGained),
                      control(HeaderStylesField, EN_SETFOCUS)}),
              pumpEvents());
    postKey(GetFocus(), VK_TAB);
    EXPECT_EQ((Events{control(HeaderStylesField, FocusLost),
                      control(HeaderStylesField, EN_KILLFOCUS), control(SourceField, FocusGained),
                      control(SourceField, EN_SETFOCUS)}),
              pumpEvents());
    postKey(GetFocus(), VK_TAB);
    EXPECT_EQ((Events{control(SourceField, FocusLost), control(SourceField, EN_KILLFOCUS)}),
              pumpEvents())
        << "a button taking the focus reports nothing";
}

TEST_F(GuiEventsTest, AddShortcutOnABoundKeyChangesItsNumber) {
    HWND field = handleOf(SourceField);
    SetFocus(field);
    pumpEvents();

    addShortcut(MainWindow, VK_RETURN, EditButton);
    postKey(field, VK_RETURN);
    EXPECT_EQ(Events{shortcut(EditButton)}, pumpEvents()) << "Enter rebound";

    addShortcut(MainWindow, VK_F5 | ShiftKey, 42);
    postKey(field, VK_F5, true);
    EXPECT_EQ(Events{shortcut(42)}, pumpEvents()) << "Shift+F5 added";
    postKey(field, VK_F5, false);
    EXPECT_EQ(Events{}, pumpEvents()) << "plain F5 stays unbound";
    postKey(field, VK_ESCAPE);
    EXPECT_EQ(Events{shortcut(CancelButton)}, pumpEvents()) << "Escape untouched";
}

TEST_F(GuiEventsTest, ClosingTheWindowDropsItsEventsAndNumbers) {
    HWND field = handleOf(SourceField);
    SetFocus(field);
    notifyFrom(OkButton, BN_CLICKED);
    closeWindow(MainWindow);
    EXPECT_EQ(Events{}, pumpEvents()) << "queued and focus-loss events dropped";
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, windowHandle(MainWindow));
    EXPECT_EQ(nullptr, controlHandle(SourceField));
    EXPECT_EQ(u"", getText(SourceField)) << "a forgotten number reads as empty";
    EXPECT_EQ(0, getState(OpenItBox));
}

TEST_F(GuiEventsTest, ADestroyedControlForgetsItsNumberAndItsEvents) {
    notifyFrom(EditButton, BN_CLICKED);
    notifyFrom(OkButton, BN_CLICKED);
    notifyFrom(EditButton, BN_CLICKED);
    DestroyWindow(handleOf(EditButton));
    EXPECT_EQ(Events{control(OkButton, 0)}, pumpEvents()) << "only the live control's event";
    EXPECT_EQ(nullptr, controlHandle(EditButton));
    EXPECT_EQ(u"", getText(EditButton));
    EXPECT_EQ(u"Ok", getText(OkButton)) << "the others keep their numbers";
}

TEST_F(GuiEventsTest, NumbersThatNameNothingDoNothing) {
    static const int unknown[] = {0, 2, 15, 99, -1};
    for (int number : unknown) {
        setText(number, u"x");
        setState(number, 1);
        clearItems(number);
        addItem(number, -1, u"x");
        EXPECT_EQ(u"", getText(number)) << "control " << number;
        EXPECT_EQ(0, getState(number)) << "control " << number;
        EXPECT_EQ(nullptr, controlHandle(number)) << "control " << number;
    }
    addShortcut(1, VK_F2, 42);
    closeWindow(1);
    EXPECT_EQ(nullptr, windowHandle(1));
    EXPECT_EQ(Events{}, pumpEvents());
    // Items and states belong to some kinds only.
    addItem(SourceField, -1, u"entry");
    setText(TemplateList, u"typed");
    setState(SourceField, 1);
    EXPECT_EQ(std::u16string(), getText(SourceField));
    EXPECT_EQ(0, getState(SourceField));
    EXPECT_EQ(0, SendMessageW(handleOf(TemplateList), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(u"", getText(TemplateList));
}

TEST_F(GuiEventsTest, DefaultFontChoices) {
    auto fontOf = [](void* control) {
        return reinterpret_cast<HFONT>(SendMessageW(static_cast<HWND>(control), WM_GETFONT, 0, 0));
    };
    void* arial = loadFont(u"Arial", 12);
    ASSERT_NE(nullptr, arial);
    setDefaultFont(arial);
    EXPECT_EQ(arial, fontOf(createLabel(-1, 0, 0, 10, 10, u"a")));
    setDefaultFont(reinterpret_cast<void*>(-1));
    EXPECT_EQ(GetStockObject(DEFAULT_GUI_FONT), fontOf(createLabel(-1, 0, 0, 10, 10, u"b")));
    setDefaultFont(nullptr);
    EXPECT_EQ(nullptr, fontOf(createLabel(-1, 0, 0, 10, 10, u"c"))) << "the system font";
}

TEST_F(GuiEventsTest, ReleaseToolkitLeavesNothingBehind) {
    ScratchDir dir;
    const std::u16string openFile = dir.path(u"open.txt");
    ASSERT_NE(FileId::none, text_file::create(openFile, FileId{5}));
    ASSERT_NE(0, examineDirectory(3, dir.directory(), u"*"));
    auto font = reinterpret_cast<HFONT>(SendMessageW(handleOf(OkButton), WM_GETFONT, 0, 0));
    ASSERT_EQ(OBJ_FONT, GetObjectType(font));
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    SetFocus(handleOf(SourceField));
    notifyFrom(OkButton, BN_CLICKED);

    releaseToolkit();

    EXPECT_FALSE(IsWindow(window)) << "window destroyed";
    WNDCLASSW unused;
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), className, &unused))
        << "window class unregistered";
    EXPECT_EQ(0u, GetObjectType(font)) << "font deleted";
    EXPECT_EQ(nullptr, windowHandle(MainWindow));
    EXPECT_EQ(nullptr, controlHandle(OkButton));
    EXPECT_EQ(0, pollEvent()) << "queue emptied";
    EXPECT_EQ(0, nextEntry(3)) << "directory scan finished";
    FileId reopened = text_file::openRead(openFile);
    EXPECT_NE(FileId::none, reopened) << "the file was closed, so it opens again";
    text_file::close(reopened);
    HRESULT com = CoInitialize(nullptr);
    EXPECT_EQ(S_OK, com) << "COM was uninitialised";
    if (SUCCEEDED(com)) CoUninitialize();
}

TEST_F(GuiEventsTest, WaitEventReturnsTheMessageThenTheEventsItQueued) {
    HWND field = handleOf(SourceField);
    SetFocus(field);
    pumpEvents();

    PostMessageW(field, WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_EQ(WM_KEYDOWN, waitEvent()) << "the platform message's own number";
    EXPECT_EQ(ShortcutEvent, waitEvent()) << "then the event it queued, without waiting";
    EXPECT_EQ(OkButton, eventNumber());
    EXPECT_EQ(MainWindow, eventWindow());
    EXPECT_EQ(0, eventSubtype());

    SetFocus(handleOf(EditButton));
    pumpEvents();
    SendMessageW(handleOf(CancelButton), BM_CLICK, 0, 0);
    EXPECT_EQ(ControlEvent, waitEvent()) << "a queued event comes before any message";
    EXPECT_EQ(CancelButton, eventNumber());
}

TEST_F(GuiEventsTest, AMessageNumberedLikeAnEventCodeIsNotTakenForOne) {
    static const UINT lookalikes[] = {ControlEvent, ShortcutEvent, CloseEvent};
    for (UINT message : lookalikes) {
        PostMessageW(window, message, 0, 0);
        EXPECT_EQ(0, waitEvent()) << "message " << message;
        EXPECT_EQ(0, eventNumber());
    }
}

TEST_F(GuiEventsTest, AQuitRequestClosesTheWindow) {
    PostQuitMessage(0);
    EXPECT_EQ(Events{(SeenEvent{CloseEvent, MainWindow, MainWindow, 0})}, pumpEvents());
    EXPECT_TRUE(IsWindow(window)) << "closing is still the program's decision";
}

TEST_F(GuiEventsTest, ARunningCopyIsFoundOnlyByTheExactTitle) {
    ShowWindow(window, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(window));
    EXPECT_FALSE(activateRunningCopy(u"Notewell's HTML 0.73")) << "without the trailing blank";
    EXPECT_TRUE(IsIconic(window)) << "left alone";
    EXPECT_TRUE(activateRunningCopy(kMainWindowTitle));
    EXPECT_FALSE(IsIconic(window)) << "restored";
    pumpEvents();
}

// What the error box showed, read from inside its modal loop.
struct SeenBox {
    HWND owner = nullptr;
    std::u16string caption;
    std::u16string text;
    int buttons = 0;
    int icons = 0;
};
SeenBox seenBox;

BOOL CALLBACK inspectBoxChild(HWND child, LPARAM) {
    std::wstring kind = classOf(child);
    if (kind == L"Button") ++seenBox.buttons;
    if (kind == L"Static") {
        // The box's template always holds an icon control; it may be empty.
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            if (SendMessageW(child, STM_GETICON, 0, 0)) ++seenBox.icons;
        }
        else if (!textOf(child).empty())
            seenBox.text = textOf(child);
    }
    return TRUE;
}

BOOL CALLBACK findBox(HWND window, LPARAM found) {
    if (!IsWindowVisible(window) || classOf(window) != L"#32770") return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

// Any box of this thread, whatever its caption, so that a wrong caption fails
// the test instead of leaving the box open for ever.
void CALLBACK inspectAndDismissBox(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, timer);
    seenBox.owner = GetWindow(box, GW_OWNER);
    seenBox.caption = textOf(box);
    EnumChildWindows(box, inspectBoxChild, 0);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

TEST_F(GuiEventsTest, ErrorBoxIsOwnedByTheMainWindowWithOneButtonAndNoIcon) {
    seenBox = SeenBox{};
    SetTimer(nullptr, 0, 50, inspectAndDismissBox);
    showErrorBox(u"Source not found");
    EXPECT_EQ(window, seenBox.owner) << "owned by window 0";
    EXPECT_EQ(u"error", seenBox.caption);
    EXPECT_EQ(u"Source not found", seenBox.text);
    EXPECT_EQ(1, seenBox.buttons) << "one OK button";
    EXPECT_EQ(0, seenBox.icons) << "no icon";
}

}  // namespace
