// Lower-casing by the platform's own case tables.
#include "toolkit/text/strings.h"

#include <windows.h>

namespace {

// ASCII folds the same in every locale and is done here. user32, which holds
// the case mapping, is loaded only for text beyond ASCII: loading it brings up
// the window system, which a command-line run otherwise never needs (some
// 20 ms of processor time at every start under Wine).
using CharLowerBuffFunction = DWORD(WINAPI*)(LPWSTR, DWORD);

CharLowerBuffFunction charLowerBuff() {
    static const CharLowerBuffFunction function = [] {
        HMODULE user32 = LoadLibraryW(L"user32.dll");
        FARPROC found = user32 ? GetProcAddress(user32, "CharLowerBuffW") : nullptr;
        return reinterpret_cast<CharLowerBuffFunction>(reinterpret_cast<void (*)()>(found));
    }();
    return function;
}

// Folds ASCII in place; false when a unit beyond ASCII is left to the system.
bool lowerAscii(char16_t* text, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t c = text[i];
        if (c >= 0x80) return false;
        if (c >= u'A' && c <= u'Z') text[i] = static_cast<char16_t>(c + (u'a' - u'A'));
    }
    return true;
}

void lowerInPlace(char16_t* text, std::size_t count) {
    if (lowerAscii(text, count)) return;
    if (CharLowerBuffFunction lower = charLowerBuff()) {
        lower(reinterpret_cast<LPWSTR>(text), static_cast<DWORD>(count));
    }
}

}  // namespace

char16_t lowerCaseChar(char16_t c) {
    lowerInPlace(&c, 1);
    return c;
}

std::u16string lowerCase(std::u16string_view text) {
    std::u16string lowered(text);
    if (!lowered.empty()) lowerInPlace(&lowered[0], lowered.size());
    return lowered;
}
