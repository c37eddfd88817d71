// The fast paths that widen bytes to UTF-16 units; included by
// toolkit/text_file/fast_paths.h, which says what they share.
#pragma once

#include "toolkit/text/utf8_coder.h"

namespace fast_paths {

// --- Single-byte code page text, widened and marked -------------------------

inline void widenAndMarkPlain(const unsigned char* bytes, std::int32_t count, const char16_t* table,
                              char16_t* wide, std::uint64_t* ends) {
    std::uint64_t word = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        wide[i] = table[bytes[i]];
        if (isLineEnd(bytes[i])) word |= std::uint64_t{1} << (i % 64);
        if (i % 64 == 63) {
            ends[i / 64] = word;
            word = 0;
        }
    }
    ends[count / 64] = word | std::uint64_t{1} << (count % 64);
}

// Widens `count` bytes through `table` into `wide` and marks their CR, LF and
// NUL bytes in `ends`, one bit per byte, 64 bytes to a word; the word after
// the last byte's gets a mark too, which ends every search for the next
// line end. The fast path widens 64 bytes per step and looks up only the
// bytes above 0x7F: it takes a table that leaves ASCII as it is.
inline void widenAndMark(const unsigned char* bytes, std::int32_t count, const char16_t* table, char16_t* wide,
                         std::uint64_t* ends) {
    std::int32_t i = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    auto widenSixteen = [&](__m128i plain, std::int32_t at) {
        store(wide + at, _mm_unpacklo_epi8(plain, zero));
        store(wide + at + 8, _mm_unpackhi_epi8(plain, zero));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(lineEndLanes<1>(plain)));
    };
    for (; count - i >= 64; i += 64) {
        const __m128i a = load(bytes + i);
        const __m128i b = load(bytes + i + 16);
        const __m128i c = load(bytes + i + 32);
        const __m128i d = load(bytes + i + 48);
        const std::uint32_t low = widenSixteen(a, i) | widenSixteen(b, i + 16) << 16;
        const std::uint32_t high = widenSixteen(c, i + 32) | widenSixteen(d, i + 48) << 16;
        ends[i / 64] = low | static_cast<std::uint64_t>(high) << 32;
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            const std::uint32_t firstHalf = static_cast<std::uint32_t>(_mm_movemask_epi8(a)) |
                                            static_cast<std::uint32_t>(_mm_movemask_epi8(b)) << 16;
            const std::uint32_t secondHalf = static_cast<std::uint32_t>(_mm_movemask_epi8(c)) |
                                             static_cast<std::uint32_t>(_mm_movemask_epi8(d)) << 16;
            for (std::uint32_t bits = firstHalf; bits != 0; bits &= bits - 1) {
                const std::int32_t k = i + __builtin_ctz(bits);
                wide[k] = table[bytes[k]];
            }
            for (std::uint32_t bits = secondHalf; bits != 0; bits &= bits - 1) {
                const std::int32_t k = i + 32 + __builtin_ctz(bits);
                wide[k] = table[bytes[k]];
            }
        }
    }
#endif
    widenAndMarkPlain(bytes + i, count - i, table, wide + i, ends + i / 64);
}

// --- Leading ASCII of UTF-8 bytes, widened ----------------------------------

template <bool StopAtLineEnds>
inline std::size_t widenPlainRunPlain(const unsigned char* bytes, std::size_t count, char16_t* out) {
    std::size_t n = 0;
    while (n < count && bytes[n] < 0x80 && !(StopAtLineEnds && isLineEnd(bytes[n]))) {
        out[n] = bytes[n];
        ++n;
    }
    return n;
}

// Widens the leading bytes of the `count` at `bytes` that are ASCII (and,
// with StopAtLineEnds, no line end) into `out`, which has room for `count`;
// returns how many. The fast path may store units past that many, within
// the room.
template <bool StopAtLineEnds>
inline std::size_t widenPlainRun(const unsigned char* bytes, std::size_t count, char16_t* out) {
    std::size_t n = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (; count - n >= 16; n += 16) {
        const __m128i plain = load(bytes + n);
        store(out + n, _mm_unpacklo_epi8(plain, zero));
        store(out + n + 8, _mm_unpackhi_epi8(plain, zero));
        // A byte's top bit marks it beyond ASCII, as it does a line end's lane.
        const int stops = _mm_movemask_epi8(StopAtLineEnds ? _mm_or_si128(plain, lineEndLanes<1>(plain)) : plain);
        if (stops != 0) return n + lowestBit(stops);
    }
#endif
    return n + widenPlainRunPlain<StopAtLineEnds>(bytes + n, count - n, out + n);
}

// --- UTF-8 text decoded whole -------------------------------------------------

// The plain rule is the UTF-8 coder's own, a character at a time.
inline void appendUtf8Plain(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                            std::u16string& out) {
    appendUtf8AsText(bytes, count, rules, out);
}

// Appends the UTF-16 form of `bytes` to `out` as appendUtf8AsText does. The
// text is gathered in a block and appended a block at a time: one copy,
// where growing `out` first would also clear the room; runs of ASCII go
// through widenPlainRun. A block keeps room for the two units of one more
// sequence.
inline void appendUtf8(const unsigned char* bytes, std::size_t count, const Utf8DecodeRules& rules,
                       std::u16string& out) {
    constexpr std::size_t blockUnits = 256;
    char16_t block[blockUnits + 2];
    std::size_t i = 0;
    bool cutShort = false;
    while (i < count && !cutShort) {
        char16_t* d = block;
        while (i < count && d < block + blockUnits) {
            const std::size_t room = static_cast<std::size_t>(block + blockUnits - d);
            const std::size_t run = widenPlainRun<false>(bytes + i, count - i < room ? count - i : room, d);
            i += run;
            d += run;
            if (i == count || d >= block + blockUnits) break;
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

// --- Text appended in whole steps ---------------------------------------------

inline void appendInStepsPlain(std::u16string& line, const char16_t* units, std::size_t count) {
    line.append(units, count);
}

// Appends `count` units to `line` in whole steps of Step units, taking up
// to a step less one past them, and cuts the excess off again: the caller's
// text has copySlack units of initialised room behind it. The readers take
// copyStep.
template <std::size_t Step>
inline void appendInSteps(std::u16string& line, const char16_t* units, std::size_t count) {
    static_assert(Step != 0 && (Step & (Step - 1)) == 0 && Step <= copySlack, "a power of two within the slack");
    if constexpr (Step == 1) {
        appendInStepsPlain(line, units, count);
    } else {
        const std::size_t base = line.size();
        line.append(units, (count + Step - 1) & ~(Step - 1));
        line.resize(base + count);
    }
}

}  // namespace fast_paths
