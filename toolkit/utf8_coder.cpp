// The one UTF-8 coder of the program: the decoder and the encoder that the
// text files and the string edge conversions share, so that every build
// writes and reads identical bytes.
#include "toolkit/utf8_coder.h"

#include <cstdint>
#include <cstring>

// ASCII text goes eight units at a time: with SSE2 where it is there (every
// x86-64 build), in 64-bit words elsewhere.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void appendUtf8AsText(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                      std::u16string& out) {
    // No sequence yields more code units than it has bytes, so one resize
    // up front covers the whole run.
    const std::size_t base = out.size();
    out.resize(base + count);
    char16_t* d = &out[0] + base;
    std::size_t i = 0;
    while (i < count) {
        unsigned c = bytes[i];
        if (c < 0x80) {
            *d++ = static_cast<char16_t>(c);
            ++i;
            continue;
        }
        std::size_t length;
        std::uint32_t cp;
        if (c < 0xC0 || c >= 0xF8) {
            *d++ = rules.strayByte;
            ++i;
            continue;
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
        for (; k < length && i + k < count; ++k) {
            unsigned next = bytes[i + k];
            if ((next & 0xC0) != 0x80) break;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (k < length) {
            if (i + k == count && rules.dropCutTail) break;
            *d++ = u'\uFFFD';
            i += k;
            continue;
        }
        i += length;
        static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            *d++ = u'\uFFFD';
        } else if (cp >= 0x10000) {
            cp -= 0x10000;
            *d++ = static_cast<char16_t>(0xD800 + (cp >> 10));
            *d++ = static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
        } else {
            *d++ = static_cast<char16_t>(cp);
        }
    }
    out.resize(static_cast<std::size_t>(d - out.data()));
}

// Most text is ASCII, so the encoder first looks for runs of it and stores
// them in blocks; any other character goes one at a time.
std::size_t encodeUtf8(const char16_t** text, const char16_t* end, unsigned char* out,
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
