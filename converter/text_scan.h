// Finding the next character of interest in a line, eight UTF-16 units per
// step: plain text is most of an export, and this scan is most of the work.
// Where SSE2 is there (every x86-64 build) one vector compare tests eight
// units; elsewhere two 64-bit words do.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text_scan {

constexpr std::uint64_t ones = 0x0001000100010001ULL;
constexpr std::uint64_t highs = 0x8000800080008000ULL;

// Non-zero when any 16-bit lane of x is zero; exact about whether one is.
inline std::uint64_t zeroLanes(std::uint64_t x) { return (x - ones) & ~x & highs; }

inline std::uint64_t load(const char16_t* p) {
    std::uint64_t units;
    std::memcpy(&units, p, sizeof units);
    return units;
}

}  // namespace text_scan

// The first unit in [p, end) equal to a, or end.
inline const char16_t* findChar(const char16_t* p, const char16_t* end, char16_t a) {
    using namespace text_scan;
#if defined(__SSE2__)
    const __m128i wideA = _mm_set1_epi16(static_cast<short>(a));
    while (end - p >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wideA));
        // Two mask bits per unit: the lowest set bit names the first hit.
        if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
#else
    const std::uint64_t wideA = ones * a;
    while (end - p >= 8) {
        if (zeroLanes(load(p) ^ wideA) | zeroLanes(load(p + 4) ^ wideA)) break;
        p += 8;
    }
#endif
    for (; p != end; ++p) {
        if (*p == a) return p;
    }
    return end;
}

// findChar for p inside a text that starts at `begin`: the last few units
// are tested through the eight that end the text, when it has eight, instead
// of one at a time.
inline const char16_t* findCharWithin(const char16_t* begin, const char16_t* p, const char16_t* end,
                                      char16_t a) {
#if defined(__SSE2__)
    const __m128i wideA = _mm_set1_epi16(static_cast<short>(a));
    while (end - p >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(units, wideA));
        if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
    if (p < end && end - begin >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(end - 8));
        // Two mask bits per unit; those of the units before p are dropped.
        const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi16(units, wideA))) >>
                              (2 * (8 - (end - p)));
        return mask != 0 ? p + (__builtin_ctz(mask) >> 1) : end;
    }
#else
    (void)begin;
#endif
    return findChar(p, end, a);
}

// The first unit in [p, end) equal to a, b, c or d (repeat one to look for
// fewer), or end.
inline const char16_t* findFirstOf(const char16_t* p, const char16_t* end, char16_t a, char16_t b,
                                   char16_t c, char16_t d) {
    using namespace text_scan;
#if defined(__SSE2__)
    const __m128i wideA = _mm_set1_epi16(static_cast<short>(a));
    const __m128i wideB = _mm_set1_epi16(static_cast<short>(b));
    const __m128i wideC = _mm_set1_epi16(static_cast<short>(c));
    const __m128i wideD = _mm_set1_epi16(static_cast<short>(d));
    while (end - p >= 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(
            _mm_or_si128(_mm_cmpeq_epi16(units, wideA), _mm_cmpeq_epi16(units, wideB)),
            _mm_or_si128(_mm_cmpeq_epi16(units, wideC), _mm_cmpeq_epi16(units, wideD)));
        const int mask = _mm_movemask_epi8(hits);
        // Two mask bits per unit: the lowest set bit names the first hit.
        if (mask != 0) return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
        p += 8;
    }
#else
    const std::uint64_t wideA = ones * a;
    const std::uint64_t wideB = ones * b;
    const std::uint64_t wideC = ones * c;
    const std::uint64_t wideD = ones * d;
    while (end - p >= 4) {
        const std::uint64_t units = load(p);
        if (zeroLanes(units ^ wideA) | zeroLanes(units ^ wideB) | zeroLanes(units ^ wideC) |
            zeroLanes(units ^ wideD)) {
            break;
        }
        p += 4;
    }
#endif
    for (; p != end; ++p) {
        if (*p == a || *p == b || *p == c || *p == d) return p;
    }
    return end;
}
