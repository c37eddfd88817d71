#include "toolkit/process/console.h"

#include <windows.h>

#include "toolkit/text/strings.h"

namespace {

bool writeTo(DWORD which, std::string_view utf8Text) {
    const HANDLE handle = GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    if (GetConsoleMode(handle, &mode)) {
        // A console shows the ANSI or OEM code page's idea of UTF-8 bytes;
        // wide text reaches it whole.
        const std::u16string text = textFromUtf8(utf8Text);
        DWORD written = 0;
        return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    }
    while (!utf8Text.empty()) {
        DWORD put = 0;
        if (!WriteFile(handle, utf8Text.data(), static_cast<DWORD>(utf8Text.size()), &put, nullptr) || put == 0)
            return false;
        utf8Text.remove_prefix(put);
    }
    return true;
}

}  // namespace

bool writeStandardOutput(std::string_view utf8Text) { return writeTo(STD_OUTPUT_HANDLE, utf8Text); }
bool writeStandardError(std::string_view utf8Text) { return writeTo(STD_ERROR_HANDLE, utf8Text); }
