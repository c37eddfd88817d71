// Controls: the factories, reading and changing a control's text and state,
// and the fonts that new controls get.
#include "toolkit/gui/gui.h"

#include <vector>

#include "toolkit/gui/gui_registry_win32.h"
#include "toolkit/text/wide_text_win32.h"

using namespace gui;

namespace {

// Extra height beyond the closed box for the drop-down list's open part.
constexpr int dropDownListHeight = 200;

HFONT currentDefaultFont() {
    if (tk.stockDefaultFont) return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    return tk.defaultFont;
}

int freeOwnNumber() {
    while (tk.controls.count(tk.nextOwnNumber)) ++tk.nextOwnNumber;
    return tk.nextOwnNumber++;
}

HWND createControl(int number, ControlKind kind, const wchar_t* className, DWORD style,
                   DWORD extendedStyle, int x, int y, int width, int height,
                   const std::u16string& text) {
    WindowRecord* window = findWindow(tk.creationWindow);
    if (!window) return nullptr;
    if (number == -1)
        number = freeOwnNumber();
    else if (number < 0)
        return nullptr;

    QuietChanges quiet;
    if (ControlRecord* old = findControl(number)) {
        DestroyWindow(old->handle);
        forgetControl(number);
    }
    auto identifier = reinterpret_cast<HMENU>(static_cast<INT_PTR>(number));
    HWND handle = CreateWindowExW(extendedStyle, className, wide(text),
                                  WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                                  window->handle, identifier, programInstance(), nullptr);
    if (!handle) return nullptr;
    tk.controls[number] = ControlRecord{handle, kind, tk.creationWindow};
    subclassControl(handle);
    if (HFONT font = currentDefaultFont())
        SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    return handle;
}

std::u16string windowText(HWND handle) {
    int length = GetWindowTextLengthW(handle);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    int copied = GetWindowTextW(handle, buffer.data(), length + 1);
    return fromWide(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

std::u16string selectedEntry(HWND list) {
    LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (selected == CB_ERR) return {};
    LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(selected), 0);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1);
    LRESULT copied = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(selected),
                                  reinterpret_cast<LPARAM>(buffer.data()));
    return fromWide(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0));
}

}  // namespace

void* loadFont(const std::u16string& faceName, int points) {
    HDC screen = GetDC(nullptr);
    int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    HFONT font = CreateFontW(-MulDiv(points, pixelsPerInch, 72), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                             FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                             DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, wide(faceName));
    if (!font) return nullptr;
    tk.fonts.emplace_back(font);
    return font;
}

void setDefaultFont(void* font) {
    tk.stockDefaultFont = font == reinterpret_cast<void*>(-1);
    tk.defaultFont = tk.stockDefaultFont ? nullptr : static_cast<HFONT>(font);
}

void* createFrame(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::Frame, L"Button", BS_GROUPBOX | WS_GROUP, 0, x, y,
                         width, height, text);
}

void* createLabel(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::Label, L"Static", SS_NOPREFIX | WS_GROUP, 0, x, y,
                         width, height, text);
}

void* createTextField(int number, int x, int y, int width, int height, const std::u16string& text,
                      bool digitsOnly) {
    DWORD style = ES_AUTOHSCROLL | WS_GROUP | WS_TABSTOP | (digitsOnly ? ES_NUMBER : 0);
    return createControl(number, ControlKind::TextField, L"Edit", style, WS_EX_CLIENTEDGE, x, y,
                         width, height, text);
}

void* createButton(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::PushButton, L"Button",
                         BS_PUSHBUTTON | WS_GROUP | WS_TABSTOP, 0, x, y, width, height, text);
}

void* createCheckBox(int number, int x, int y, int width, int height, const std::u16string& text) {
    return createControl(number, ControlKind::CheckBox, L"Button",
                         BS_AUTOCHECKBOX | WS_GROUP | WS_TABSTOP, 0, x, y, width, height, text);
}

void* createDropDownList(int number, int x, int y, int width, int height) {
    HWND list = createControl(number, ControlKind::DropDownList, L"ComboBox",
                              CBS_DROPDOWNLIST | WS_VSCROLL | WS_BORDER | WS_GROUP | WS_TABSTOP, 0,
                              x, y, width, height + dropDownListHeight, u"");
    if (!list) return nullptr;
    // The closed box is the selection field plus a frame. Systems differ in
    // how the field's set height maps to the box (some add padding), so
    // correct by what the box measures. The font is already set, as
    // WM_SETFONT would reset the field's height.
    LRESULT field = SendMessageW(list, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
    for (int attempt = 0; attempt < 3 && field != CB_ERR; ++attempt) {
        RECT box;
        GetWindowRect(list, &box);
        int error = height - (box.bottom - box.top);
        if (error == 0 || field + error <= 0) break;
        field += error;
        SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    }
    return list;
}

std::u16string getText(int number) {
    ControlRecord* control = findControl(number);
    if (!control) return {};
    if (control->kind == ControlKind::DropDownList) return selectedEntry(control->handle);
    return windowText(control->handle);
}

void setText(int number, const std::u16string& text) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind == ControlKind::DropDownList) return;
    QuietChanges quiet;
    SetWindowTextW(control->handle, wide(text));
}

int getState(int number) {
    ControlRecord* control = findControl(number);
    if (!control) return 0;
    switch (control->kind) {
    case ControlKind::CheckBox: {
        LRESULT check = SendMessageW(control->handle, BM_GETCHECK, 0, 0);
        return check == BST_CHECKED ? 1 : check == BST_INDETERMINATE ? -1 : 0;
    }
    case ControlKind::DropDownList:
        return static_cast<int>(SendMessageW(control->handle, CB_GETCURSEL, 0, 0));
    default:
        return 0;
    }
}

void setState(int number, int state) {
    ControlRecord* control = findControl(number);
    if (!control) return;
    QuietChanges quiet;
    if (control->kind == ControlKind::CheckBox)
        SendMessageW(control->handle, BM_SETCHECK, state ? BST_CHECKED : BST_UNCHECKED, 0);
    else if (control->kind == ControlKind::DropDownList)
        SendMessageW(control->handle, CB_SETCURSEL, static_cast<WPARAM>(state), 0);
}

void clearItems(int number) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind != ControlKind::DropDownList) return;
    QuietChanges quiet;
    SendMessageW(control->handle, CB_RESETCONTENT, 0, 0);
}

void addItem(int number, int position, const std::u16string& text) {
    ControlRecord* control = findControl(number);
    if (!control || control->kind != ControlKind::DropDownList) return;
    QuietChanges quiet;
    SendMessageW(control->handle, CB_INSERTSTRING, static_cast<WPARAM>(position),
                 reinterpret_cast<LPARAM>(wide(text)));
}
