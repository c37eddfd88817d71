// The UTF-8 decoder of the one UTF-8 coder (utf8_coder.h holds the encoder).
#include "toolkit/utf8_coder.h"

#include <cstdint>

void appendUtf8AsText(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                      std::u16string& out) {
    // The text is gathered in a block and appended a block at a time: one
    // copy, where growing `out` first would also clear the room. A block
    // keeps room for the two units of one more sequence.
    constexpr std::size_t blockUnits = 256;
    char16_t block[blockUnits + 2];
    std::size_t i = 0;
    bool cutShort = false;
    while (i < count && !cutShort) {
        char16_t* d = block;
        while (i < count && d < block + blockUnits) {
#if defined(__SSE2__)
            // Sixteen ASCII bytes at once, as most text is.
            const __m128i zero = _mm_setzero_si128();
            while (count - i >= 16 && block + blockUnits - d >= 16) {
                const __m128i plain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
                if (_mm_movemask_epi8(plain) != 0) break;
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(plain, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(plain, zero));
                i += 16;
                d += 16;
            }
            if (i == count || d >= block + blockUnits) break;
#endif
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
                if (i + k == count && rules.dropCutTail) {
                    cutShort = true;
                    break;
                }
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
        out.append(block, static_cast<std::size_t>(d - block));
    }
}
