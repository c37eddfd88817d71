// The one UTF-8 coder of the program, shared by the text files and the string
// edge conversions, so that every build writes and reads identical bytes.
// The encoder stores runs of ASCII in blocks (utf8_coder.cpp): it is the
// product file's hot path.
#pragma once

#include <cstddef>
#include <string>

// How a decoder treats the two kinds of damage whose answer differs between
// the line reader and the edge conversion.
struct Utf8DecodeRules {
    char16_t strayByte;   // a continuation byte or 0xF8..0xFF where a lead belongs
    bool dropCutTail;     // a sequence cut by the end of input: dropped, or U+FFFD
};

// Appends the UTF-16 form of `bytes` to `out`. A lead byte whose sequence is
// broken by a byte that is not a continuation byte yields U+FFFD, and the
// breaking byte starts the next character. Overlong forms, surrogates and
// values above U+10FFFF yield one U+FFFD per sequence.
void appendUtf8AsText(const unsigned char* bytes, std::size_t count,
                      const Utf8DecodeRules& rules, std::u16string& out);

// Encodes whole characters from [*text, end) into `out` while they fit in
// `room` bytes; advances *text past them and returns the bytes produced.
// Unpaired surrogates become EF BF BD. A room of at least 4 always makes
// progress.
std::size_t encodeUtf8(const char16_t** text, const char16_t* end, unsigned char* out,
                       std::size_t room);
