// The edge between the program's UTF-16 text and Win32's wchar_t: the same
// 16-bit units under two types, so a cast is all it takes. Windows only.
#pragma once

#include <cstddef>
#include <string>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the Win32 edge assumes 16-bit wchar_t");

// The text as a terminated wide string, valid while `text` lives unchanged.
inline const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

inline const wchar_t* wide(const char16_t* units) {
    return reinterpret_cast<const wchar_t*>(units);
}

// Writable wide units of `text`, for a call that fills or changes them.
inline wchar_t* wideUnits(std::u16string& text) { return reinterpret_cast<wchar_t*>(&text[0]); }

inline std::u16string fromWide(const wchar_t* text, std::size_t length) {
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

// A terminated wide string.
inline std::u16string fromWide(const wchar_t* text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text));
}
