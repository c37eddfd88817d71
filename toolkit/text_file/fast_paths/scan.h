// The fast paths that look for a line end or a character; included by
// toolkit/text_file/fast_paths.h, which says what they share.
#pragma once

namespace fast_paths {

// --- The next line end in bytes ---------------------------------------------

inline const unsigned char* findLineEndPlain(const unsigned char* p, const unsigned char* end) {
    while (p < end && !isLineEnd(*p)) ++p;
    return p;
}

// The first CR, LF or NUL in [p, end), or end.
inline const unsigned char* findLineEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    p = skipToLineEnd<1>(p, end);
#endif
    return findLineEndPlain(p, end);
}

// --- The next line end in UTF-16LE units ------------------------------------

inline const unsigned char* findUnitLineEndPlain(const unsigned char* p, const unsigned char* end) {
    while (p < end && !isLineEnd(p[0] | p[1] << 8)) p += 2;
    return p;
}

// The first CR, LF or NUL unit among the whole units of [p, end), or end;
// `end - p` is even.
inline const unsigned char* findUnitLineEnd(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    // Two mask bits per unit, the lower one at the unit's first byte.
    p = skipToLineEnd<2>(p, end);
#endif
    return findUnitLineEndPlain(p, end);
}

// --- The next unit equal to a character -------------------------------------

inline const char16_t* findUnitPlain(const char16_t* p, const char16_t* end, char16_t a) {
    while (p != end && *p != a) ++p;
    return p;
}

// The first unit in [p, end) equal to `a`, or end, for p inside a text that
// starts at `begin`: the last few units are tested through the eight that
// end the text, when it has eight, instead of one at a time.
inline const char16_t* findUnit([[maybe_unused]] const char16_t* begin, const char16_t* p, const char16_t* end,
                                char16_t a) {
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi16(static_cast<short>(a));
    // Two mask bits per unit: the lowest set bit names the first hit.
    for (; end - p >= 8; p += 8) {
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(load(p), wanted));
        if (mask != 0) return p + (lowestBit(mask) >> 1);
    }
    if (p < end && end - begin >= 8) {
        // The bits of the units before p are dropped.
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(load(end - 8), wanted)) >> (2 * (8 - (end - p)));
        return mask != 0 ? p + (lowestBit(mask) >> 1) : end;
    }
#endif
    return findUnitPlain(p, end, a);
}

// --- The next line end among marks -----------------------------------------

inline std::int32_t nextMarkPlain(const std::uint64_t* ends, std::int32_t from) {
    std::int32_t at = from;
    while (((ends[at / 64] >> (at % 64)) & 1) == 0) ++at;
    return at;
}

// The first mark at or after bit `from` of `ends`, a bitmap that
// widenAndMark made and that a mark at or after `from` ends. WordBytes is
// the word the scan takes: 8 in 64-bit code; 4 in 32-bit code, where a
// 64-bit count of zeros is a library call (nativeWordBytes picks it). Both
// build everywhere, so that both are tested.
template <std::size_t WordBytes>
inline std::int32_t nextMark(const std::uint64_t* ends, std::int32_t from) {
    static_assert(WordBytes == 8 || WordBytes == 4, "a 64-bit or a 32-bit word");
    if constexpr (WordBytes == 8) {
        std::int32_t w = from / 64;
        std::uint64_t word = ends[w] & (~std::uint64_t{0} << (from % 64));
        while (word == 0) word = ends[++w];
        return w * 64 + __builtin_ctzll(word);
    } else {
        // A line mostly ends in the half where it starts or in the next one:
        // both are taken at once, and only a longer line loops. The next half
        // lies in the bitmap's room (markSlackWords).
        static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word's low half comes first in memory");
        const unsigned char* const marks = reinterpret_cast<const unsigned char*>(ends);
        auto half = [marks](std::int32_t h) {
            std::uint32_t bits;
            std::memcpy(&bits, marks + 4 * h, 4);
            return bits;
        };
        std::int32_t h = from / 32;
        const std::uint32_t first = half(h) & (~std::uint32_t{0} << (from % 32));
        const std::uint32_t second = half(h + 1);
        if ((first | second) != 0) {
            const bool inFirst = first != 0;
            return (h + (inFirst ? 0 : 1)) * 32 + __builtin_ctz(inFirst ? first : second);
        }
        h += 2;
        std::uint32_t bits;
        while ((bits = half(h)) == 0) ++h;
        return h * 32 + __builtin_ctz(bits);
    }
}

// The word of the code being built.
constexpr std::size_t nativeWordBytes = sizeof(void*) == 8 ? 8 : 4;

}  // namespace fast_paths
