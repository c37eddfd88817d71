// The one UTF-8 coder of the program, shared by the text files and the string
// edge conversions, so that every build writes and reads identical bytes.
// The encoder is defined here, inline: it runs for every piece of the
// product file, and a call per piece would cost more than the piece.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// ASCII text goes eight units at a time: with SSE2 where it is there (every
// x86-64 build), in 64-bit words elsewhere.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// How a decoder treats the two kinds of damage whose answer differs between
// the line reader and the edge conversion.
struct Utf8DecodeRules {
    char16_t strayByte;   // a continuation byte or 0xF8..0xFF where a lead belongs
    bool dropCutTail;     // a sequence cut by the end of input: dropped, or U+FFFD
};

// Decodes the character that starts at `bytes`, of which `available` (at
// least 1) may be read: stores one or two units at `out`, sets `units` and
// returns the bytes it takes. A lead byte whose sequence is broken by a byte
// that is not a continuation byte gives U+FFFD and takes the bytes before the
// breaking one; `cut` is set when the sequence runs past `available`. A stray
// byte gives `strayByte`. Overlong forms, surrogates and values above
// U+10FFFF give U+FFFD.
inline std::size_t decodeUtf8Character(const unsigned char* bytes, std::size_t available, char16_t strayByte,
                                       char16_t* out, int& units, bool& cut) {
    const unsigned c = bytes[0];
    units = 1;
    cut = false;
    if (c < 0x80) {
        out[0] = static_cast<char16_t>(c);
        return 1;
    }
    std::size_t length;
    std::uint32_t cp;
    if (c < 0xC0 || c >= 0xF8) {
        out[0] = strayByte;
        return 1;
    } else if (c < 0xE0) {
        length = 2;
        cp = c & 0x1F;
    } else if (c < 0xF0) {
        length = 3;
        cp = c & 0x0F;
    } else {
        length = 4;
        cp = c & 0x07;
    }
    std::size_t k = 1;
    for (; k < length && k < available; ++k) {
        const unsigned next = bytes[k];
        if ((next & 0xC0) != 0x80) break;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (k < length) {
        cut = k == available;
        out[0] = u'\uFFFD';
        return k;
    }
    static constexpr std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < smallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        out[0] = u'\uFFFD';
    } else if (cp >= 0x10000) {
        cp -= 0x10000;
        out[0] = static_cast<char16_t>(0xD800 + (cp >> 10));
        out[1] = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        units = 2;
    } else {
        out[0] = static_cast<char16_t>(cp);
    }
    return length;
}

// Appends the UTF-16 form of `bytes` to `out`. A lead byte whose sequence is
// broken by a byte that is not a continuation byte yields U+FFFD, and the
// breaking byte starts the next character. Overlong forms, surrogates and
// values above U+10FFFF yield one U+FFFD per sequence.
void appendUtf8AsText(const unsigned char* bytes, std::size_t count,
                      const Utf8DecodeRules& rules, std::u16string& out);

// Encodes whole characters from [*text, end) into `out` while they fit in
// `room` bytes; advances *text past them and returns the bytes produced.
// Unpaired surrogates become EF BF BD. A room of at least 4 always makes
// progress. Most text is ASCII, so runs of it are stored in blocks; any
// other character goes one at a time.
inline std::size_t encodeUtf8(const char16_t** text, const char16_t* end, unsigned char* out,
                              std::size_t room) {
    const char16_t* s = *text;
    unsigned char* d = out;
    unsigned char* const stop = out + room;
    for (;;) {
        // Runs of ASCII, eight units per step. The room for sixteen bytes is
        // there, so a whole step is stored even when only its first few
        // units are ASCII.
#if defined(__SSE2__)
        const __m128i nonAscii = _mm_set1_epi16(static_cast<short>(0xFF80));
        const __m128i zero = _mm_setzero_si128();
        while (end - s >= 8 && stop - d >= 16) {
            const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            const unsigned ascii = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, nonAscii), zero)));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(d), _mm_packus_epi16(units, units));
            if (ascii == 0xFFFFu) {
                s += 8;
                d += 8;
                continue;
            }
            const int run = __builtin_ctz(~ascii) >> 1;  // two mask bits per unit
            s += run;
            d += run;
            break;
        }
#else
        while (end - s >= 8 && stop - d >= 16) {
            std::uint64_t low;
            std::uint64_t high;
            std::memcpy(&low, s, 8);
            std::memcpy(&high, s + 4, 8);
            if (((low | high) & 0xFF80FF80FF80FF80ull) != 0) {
                while (*s < 0x80) *d++ = static_cast<unsigned char>(*s++);
                break;
            }
            for (int i = 0; i < 8; ++i) d[i] = static_cast<unsigned char>(s[i]);
            s += 8;
            d += 8;
        }
#endif
        // A wide character, or the last few units: four ASCII ones at once.
        if (s == end) break;
        if (end - s >= 4 && stop - d >= 4) {
            std::uint64_t four;
            std::memcpy(&four, s, 8);
            if ((four & 0xFF80FF80FF80FF80ull) == 0) {
                for (int i = 0; i < 4; ++i) d[i] = static_cast<unsigned char>(s[i]);
                s += 4;
                d += 4;
                continue;
            }
        }
        std::uint32_t c = *s;
        if (c < 0x80) {
            if (d == stop) break;
            *d++ = static_cast<unsigned char>(c);
            ++s;
        } else if (c < 0x800) {
            if (stop - d < 2) break;
            d[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
            d[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            d += 2;
            ++s;
        } else if (c >= 0xD800 && c <= 0xDBFF && end - s >= 2 && s[1] >= 0xDC00 && s[1] <= 0xDFFF) {
            if (stop - d < 4) break;
            std::uint32_t cp = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00u);
            d[0] = static_cast<unsigned char>(0xF0 | (cp >> 18));
            d[1] = static_cast<unsigned char>(0x80 | ((cp >> 12) & 0x3F));
            d[2] = static_cast<unsigned char>(0x80 | ((cp >> 6) & 0x3F));
            d[3] = static_cast<unsigned char>(0x80 | (cp & 0x3F));
            d += 4;
            s += 2;
        } else {
            if (stop - d < 3) break;
            if (c >= 0xD800 && c <= 0xDFFF) c = 0xFFFD;  // an unpaired surrogate
            d[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
            d[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            d[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            d += 3;
            ++s;
        }
    }
    *text = s;
    return static_cast<std::size_t>(d - out);
}
