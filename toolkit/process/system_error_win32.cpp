#include "toolkit/process/system_error.h"

#include <windows.h>

#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

int lastSystemError() { return static_cast<int>(GetLastError()); }

std::u16string systemErrorText(int code) {
    if (code == 0) return std::u16string();
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::u16string result;
    if (length > 0 && text) result = fromWide(text, length);
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == u'\r' || result.back() == u'\n' ||
                               result.back() == u' ' || result.back() == u'.')) {
        result.pop_back();
    }
    if (result.empty()) result = u"system error " + numberToText(code);
    return result;
}
