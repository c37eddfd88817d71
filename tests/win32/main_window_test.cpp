// The main window as the user sees it: title, frame, placement, and every
// child control's class, number, styles, rectangle, text, state and font.
#include "tests/win32/window_test_support.h"

#include "toolkit/text/strings.h"

namespace {

constexpr int unnumbered = -1;

struct ExpectedControl {
    int number;
    const wchar_t* className;
    DWORD kindStyle;  // compared under kindMask
    DWORD kindMask;
    bool tabStop;
    bool clientEdge;
    int x, y, width, height;
    const char16_t* text;  // nullptr: filled from job, checked elsewhere
};

constexpr DWORD buttonType = BS_TYPEMASK;
constexpr DWORD editBits = ES_AUTOHSCROLL | ES_NUMBER;
constexpr DWORD comboBits = CBS_DROPDOWNLIST;
constexpr DWORD staticBits = SS_NOPREFIX | SS_TYPEMASK;

// Creation order is child-window order and tab order.
const ExpectedControl expectedControls[] = {
    {unnumbered, L"Button", BS_GROUPBOX, buttonType, false, false, 5, 10, 420, 80,
     u"Template file (.tpl.txt):"},
    {TemplateList, L"ComboBox", CBS_DROPDOWNLIST, comboBits, true, false, 15, 32,
     295, 23, nullptr},
    {EditButton, L"Button", BS_PUSHBUTTON, buttonType, true, false, 315, 31, 100, 24, u"Edit"},
    {unnumbered, L"Static", SS_NOPREFIX | SS_LEFT, staticBits, false, false, 15, 65, 235, 22,
     u"Number of different header styles:"},
    {HeaderStylesField, L"Edit", ES_AUTOHSCROLL | ES_NUMBER, editBits, true, true, 235, 63, 30, 22,
     nullptr},
    {unnumbered, L"Button", BS_GROUPBOX, buttonType, false, false, 5, 100, 420, 52,
     u"Source file:"},
    {SourceField, L"Edit", ES_AUTOHSCROLL, editBits, true, true, 15, 122, 380, 22, nullptr},
    {SourceBrowseButton, L"Button", BS_PUSHBUTTON, buttonType, true, false, 397, 122, 20, 22,
     u".."},
    {unnumbered, L"Button", BS_GROUPBOX, buttonType, false, false, 5, 160, 420, 75,
     u"Product file:"},
    {ProductField, L"Edit", ES_AUTOHSCROLL, editBits, true, true, 15, 182, 380, 22, nullptr},
    {ProductBrowseButton, L"Button", BS_PUSHBUTTON, buttonType, true, false, 397, 182, 20, 22,
     u".."},
    {OpenItBox, L"Button", BS_AUTOCHECKBOX, buttonType, true, false, 15, 208, 120, 22,
     u"Open it"},
    {unnumbered, L"Button", BS_GROUPBOX, buttonType, false, false, 5, 246, 420, 75, u"Options:"},
    {PageSeparatorBox, L"Button", BS_AUTOCHECKBOX, buttonType, true, false, 15, 266, 150, 22,
     u"Page separator lines"},
    {unnumbered, L"Static", SS_NOPREFIX | SS_LEFT, staticBits, false, false, 15, 293, 125, 22,
     u"Title for Browser:"},
    {BrowserTitleField, L"Edit", ES_AUTOHSCROLL, editBits, true, true, 145, 289, 270, 22, nullptr},
    {OkButton, L"Button", BS_PUSHBUTTON, buttonType, true, false, 112, 335, 100, 24, u"Ok"},
    {CancelButton, L"Button", BS_PUSHBUTTON, buttonType, true, false, 217, 335, 100, 24,
     u"Cancel"},
};

std::vector<HWND> childrenOf(HWND window) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

RECT clientRectOf(HWND child) {
    RECT box;
    GetWindowRect(child, &box);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
    return box;
}

TEST_F(MainWindowTest, TitleFrameSizeAndCentredPosition) {
    EXPECT_EQ(std::u16string(kMainWindowTitle), textOf(window)) << "title with its trailing blank";
    EXPECT_EQ(u"Notewell's HTML 0.73 ", textOf(window));

    LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CAPTION | WS_SYSMENU), style & (WS_CAPTION | WS_SYSMENU))
        << "title bar with system menu";
    EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_CHILD))
        << "no sizing border, minimise or maximise box";
    EXPECT_TRUE(IsWindowVisible(window)) << "shown at once";
    EXPECT_FALSE(IsIconic(window) || IsZoomed(window)) << "in the normal state";

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(430, client.right) << "client width";
    EXPECT_EQ(375, client.bottom) << "client height";

    RECT frame;
    GetWindowRect(window, &frame);
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ((screenWidth - (frame.right - frame.left)) / 2, frame.left) << "centred across";
    EXPECT_EQ((screenHeight - (frame.bottom - frame.top)) / 2, frame.top) << "centred down";
    EXPECT_GT(frame.right - frame.left, 430) << "outer frame computed from the client size";
}

TEST_F(MainWindowTest, EveryControlInTableOrderWithClassStylesAndRectangle) {
    std::vector<HWND> children = childrenOf(window);
    ASSERT_EQ(std::size(expectedControls), children.size()) << "one child per table row";

    for (size_t i = 0; i < children.size(); ++i) {
        const ExpectedControl& want = expectedControls[i];
        HWND child = children[i];
        SCOPED_TRACE("row " + std::to_string(i) + ", control " + std::to_string(want.number));

        EXPECT_EQ(std::wstring(want.className), classOf(child)) << "window class";
        if (want.number != unnumbered) {
            EXPECT_EQ(want.number, GetWindowLongPtrW(child, GWLP_ID)) << "number as GWLP_ID";
            EXPECT_EQ(child, handleOf(want.number)) << "number leads to the handle";
        }
        DWORD style = static_cast<DWORD>(GetWindowLongW(child, GWL_STYLE));
        EXPECT_EQ(want.kindStyle, style & want.kindMask) << "kind style bits";
        EXPECT_EQ(static_cast<DWORD>(WS_CHILD | WS_VISIBLE), style & (WS_CHILD | WS_VISIBLE));
        EXPECT_EQ(want.tabStop, (style & WS_TABSTOP) != 0) << "tab stop";
        EXPECT_TRUE(style & WS_GROUP) << "each control starts a group";
        EXPECT_TRUE(IsWindowEnabled(child)) << "enabled";
        DWORD extended = static_cast<DWORD>(GetWindowLongW(child, GWL_EXSTYLE));
        EXPECT_EQ(want.clientEdge, (extended & WS_EX_CLIENTEDGE) != 0) << "sunken edge";

        RECT box = clientRectOf(child);
        EXPECT_EQ(want.x, box.left) << "x";
        EXPECT_EQ(want.y, box.top) << "y";
        EXPECT_EQ(want.width, box.right - box.left) << "width";
        EXPECT_EQ(want.height, box.bottom - box.top) << "height (closed box for the list)";
        if (want.text) {
            EXPECT_EQ(std::u16string(want.text), textOf(child)) << "text";
        }
    }
}

TEST_F(MainWindowTest, NoButtonIsADefaultPushButton) {
    for (int number :
         {EditButton, SourceBrowseButton, ProductBrowseButton, OkButton, CancelButton}) {
        EXPECT_EQ(static_cast<LONG>(BS_PUSHBUTTON),
                  GetWindowLongW(handleOf(number), GWL_STYLE) & BS_TYPEMASK)
            << "control " << number;
    }
}

TEST_F(MainWindowTest, EveryControlUsesArialNinePoints) {
    HDC screen = GetDC(nullptr);
    int expectedHeight = -MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    for (HWND child : childrenOf(window)) {
        SCOPED_TRACE(std::to_string(GetWindowLongPtrW(child, GWLP_ID)));
        auto font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
        ASSERT_NE(nullptr, font) << "a font was set";
        LOGFONTW description{};
        ASSERT_NE(0, GetObjectW(font, sizeof(description), &description));
        EXPECT_STREQ(L"Arial", description.lfFaceName);
        EXPECT_EQ(expectedHeight, description.lfHeight) << "character height of 9 points";
        EXPECT_EQ(FW_NORMAL, description.lfWeight);
        EXPECT_EQ(DEFAULT_CHARSET, description.lfCharSet);
    }
}

TEST_F(MainWindowTest, OpenItIsTickedAndTheListStartsEmpty) {
    EXPECT_EQ(BST_CHECKED, SendMessageW(handleOf(OpenItBox), BM_GETCHECK, 0, 0));
    EXPECT_EQ(1, getState(OpenItBox));
    EXPECT_EQ(0, SendMessageW(handleOf(TemplateList), CB_GETCOUNT, 0, 0));
    EXPECT_EQ(u"", getText(TemplateList)) << "no entry selected";
    EXPECT_EQ(-1, getState(TemplateList));
}

TEST_F(MainWindowTest, HeaderStylesFieldRefusesLetters) {
    HWND field = handleOf(HeaderStylesField);
    SendMessageW(field, EM_SETSEL, 1, 1);
    SendMessageW(field, WM_CHAR, L'x', 1);
    EXPECT_EQ(u"1", textOf(field)) << "a letter is refused";
    SendMessageW(field, WM_CHAR, L'5', 1);
    EXPECT_EQ(u"15", textOf(field)) << "a digit is taken";
}

// The fields and boxes filled from job, one run per row.
struct FilledFrom {
    std::int32_t titleRange;
    std::int32_t pageSeparator;
    const char16_t* sourcePath;
    const char16_t* productPath;
    const char16_t* browserTitle;
    const char16_t* headerStylesText;
    LRESULT separatorCheck;
};

const FilledFrom fillCases[] = {
    {1, 1, u"", u"", u"", u"1", BST_CHECKED},
    {-1, 0, u"C:\\Notes\\export.txt", u"C:\\Web\\notes.htm", u"My notes", u"-1", BST_UNCHECKED},
    {7, 2, u"%HOME%\\a & b.txt", u"out", u"Tom & Jerry <3", u"7", BST_CHECKED},
    {2147483647, -5, u"x", u"y", u"z", u"2147483647", BST_CHECKED},
};

class FilledMainWindowTest : public MainWindowTest,
                             public ::testing::WithParamInterface<FilledFrom> {
protected:
    void prepareJob() override {
        job.titleRange = GetParam().titleRange;
        job.pageSeparator = GetParam().pageSeparator;
        job.sourcePath = GetParam().sourcePath;
        job.productPath = GetParam().productPath;
        job.browserTitle = GetParam().browserTitle;
    }
};

TEST_P(FilledMainWindowTest, ControlsShowTheJobSettings) {
    const FilledFrom& want = GetParam();
    EXPECT_EQ(std::u16string(want.headerStylesText), textOf(handleOf(HeaderStylesField)));
    EXPECT_EQ(std::u16string(want.sourcePath), textOf(handleOf(SourceField)));
    EXPECT_EQ(std::u16string(want.productPath), textOf(handleOf(ProductField)));
    EXPECT_EQ(std::u16string(want.browserTitle), textOf(handleOf(BrowserTitleField)));
    EXPECT_EQ(want.separatorCheck, SendMessageW(handleOf(PageSeparatorBox), BM_GETCHECK, 0, 0));
    EXPECT_EQ(want.separatorCheck == BST_CHECKED ? 1 : 0, getState(PageSeparatorBox))
        << "read back as 1 or 0";
    EXPECT_EQ(std::u16string(want.sourcePath), getText(SourceField)) << "read back through getText";
}

INSTANTIATE_TEST_SUITE_P(Rows, FilledMainWindowTest, ::testing::ValuesIn(fillCases));

}  // namespace
