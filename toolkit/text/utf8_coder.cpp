// The UTF-8 decoder of the one UTF-8 coder (utf8_coder.h holds the encoder).
#include "toolkit/text/utf8_coder.h"

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
            int units;
            bool cut;
            const std::size_t taken = decodeUtf8Character(bytes + i, count - i, rules.strayByte, d, units, cut);
            if (cut && rules.dropCutTail) {
                cutShort = true;
                break;
            }
            d += units;
            i += taken;
        }
        out.append(block, static_cast<std::size_t>(d - block));
    }
}
