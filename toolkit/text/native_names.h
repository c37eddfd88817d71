// Names as a POSIX system gives them: bytes, mostly UTF-8 but not always. A
// name keeps every byte through the program's UTF-16 text: a byte that is no
// part of a well-formed UTF-8 character is carried as the lone surrogate
// U+DC00 + byte (0xE9 as U+DCE9), which no decoded character can be, and
// becomes that byte again on the way out. So a Latin-1 name opens the file
// it names, never one whose name holds U+FFFD.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The bytes of a well-formed UTF-8 character at the start of `bytes` (1 to
// 4), or 0 where none starts: a stray or cut sequence, an overlong form, a
// surrogate or a value above U+10FFFF.
std::size_t wellFormedUtf8Length(const unsigned char* bytes, std::size_t available);

std::u16string textFromNativeName(std::string_view bytes);

// Well-formed text as UTF-8, a carried byte (U+DC80..U+DCFF alone) as the
// byte itself. Any other unpaired surrogate, which no name decoded here
// holds, becomes U+FFFD as in every other UTF-8 the program writes.
std::string nativeNameFromText(std::u16string_view text);
