// Lower-casing by the platform's own case tables.
#include "toolkit/strings.h"

#include <windows.h>

#include "toolkit/wide_text_win32.h"

char16_t lowerCaseChar(char16_t c) {
    WCHAR one[2] = {static_cast<WCHAR>(c), 0};
    CharLowerBuffW(one, 1);
    return static_cast<char16_t>(one[0]);
}

std::u16string lowerCase(std::u16string_view text) {
    std::u16string lowered(text);
    if (!lowered.empty()) {
        CharLowerBuffW(wideUnits(lowered), static_cast<DWORD>(lowered.size()));
    }
    return lowered;
}
