// The text files' fast paths: the one place that knows vector instructions
// and block tricks. Each fast path stands beside the plain rule it must
// equal, a function of the same name ending in Plain; the table test
// FastPaths.EqualTheirPlainRules and the line reader's fuzzer hold each pair
// equal (tests/fast_path_pairs.h). This header is the one to include; the
// paths stand in three headers of fast_paths/ by what they do, and the sizes
// they depend on stand here, each with its reason.
//   fast_paths/scan.h
//     findLineEnd      the next CR, LF or NUL byte
//     findUnitLineEnd  the next CR, LF or NUL unit of UTF-16LE bytes
//     findUnit         the next unit equal to a character (the converter's
//                      tag symbols)
//     nextMark         the next line end marked in widenAndMark's bitmap, a
//                      word at a time (64 or 32 bits, for the code's word)
//   fast_paths/widen.h
//     widenAndMark     single-byte code page bytes widened, their line ends
//                      marked in a bitmap
//     widenPlainRun    the leading ASCII of UTF-8 bytes widened
//     appendUtf8       UTF-8 bytes decoded whole, their ASCII in runs
//     appendInSteps    text appended to a line in whole steps of copyStep
//   fast_paths/narrow.h
//     encodeRun        the leading ASCII of UTF-16 text narrowed to bytes, up
//                      to a replaced character or a stop
//     narrowAscii      a short piece of UTF-16 text narrowed whole when it is
//                      ASCII
//     storeShortText   a replacement text stored as one 8-byte word
// The vector paths take sixteen bytes a step where SSE2 is there: every x86
// build (the 32-bit one by -msse2) and a WebAssembly build compiled with
// -msse2 (which lowers to its SIMD). Where it is not, the plain rule does
// the work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fast_paths {

// --- The sizes the paths depend on ------------------------------------------

// The line readers copy text into a line in whole steps of this many units
// where the compiler copies inline (the Windows build's hot path, see
// cmake/program_files.cmake), and cut the excess off again: a copy of any
// other length ends in a loop of single bytes, which took half the reader's
// time there. Elsewhere the C library's copy is better off with the exact
// length.
#if defined(_WIN32)
constexpr std::size_t copyStep = 32;
#else
constexpr std::size_t copyStep = 1;
#endif
static_assert(copyStep != 0 && (copyStep & (copyStep - 1)) == 0, "a power of two");

// Units of initialised room behind every text that is copied in whole
// steps (appendInSteps): a step may take this far past the text's end.
constexpr std::size_t copySlack = 32;
static_assert(copySlack >= copyStep, "a whole step past the text stays in its room");

// widenAndMark's bitmap for `count` bytes: a bit per byte in words of 64,
// and the slack word behind them. The mark after the last byte lies there,
// and so does the half word that the 32-bit nextMark reads after the one
// it starts in.
constexpr std::int32_t markSlackWords = 1;
static_assert(markSlackWords * 64 >= 2 * 32, "the end mark's half and the half read after it");
constexpr std::int32_t markWords(std::int32_t count) { return (count + 63) / 64 + markSlackWords; }

// The most bytes of a replacement text (text_file::Replacements), which
// storeShortText moves whole as one word: the writer leaves that much room.
constexpr std::size_t shortTextBytes = 8;
static_assert(shortTextBytes == sizeof(std::uint64_t), "one word holds a whole replacement text");

// --- What the paths share ----------------------------------------------------

// CR, LF and NUL: the line ends of every encoding.
inline bool isLineEnd(std::uint32_t c) {
    return c <= 0x0D && ((1u << c) & ((1u << 0x00) | (1u << 0x0A) | (1u << 0x0D))) != 0;
}

#if defined(__SSE2__)
inline __m128i load(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
inline void store(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// The line-end compare: all ones in each lane of one byte (or of two, a
// UTF-16 unit) that holds CR, LF or NUL.
template <int LaneBytes>
inline __m128i lineEndLanes(__m128i v) {
    const __m128i zero = _mm_setzero_si128();
    if constexpr (LaneBytes == 1) {
        return _mm_or_si128(_mm_cmpeq_epi8(v, zero), _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8(0x0A)),
                                                                   _mm_cmpeq_epi8(v, _mm_set1_epi8(0x0D))));
    } else {
        return _mm_or_si128(_mm_cmpeq_epi16(v, zero), _mm_or_si128(_mm_cmpeq_epi16(v, _mm_set1_epi16(0x0A)),
                                                                   _mm_cmpeq_epi16(v, _mm_set1_epi16(0x0D))));
    }
}

inline unsigned lowestBit(int mask) { return static_cast<unsigned>(__builtin_ctz(static_cast<unsigned>(mask))); }

// Whole 16-byte blocks of [p, end) up to the block that holds the first line
// end (returned at it); past the last whole block when none does.
template <int LaneBytes>
inline const unsigned char* skipToLineEnd(const unsigned char* p, const unsigned char* end) {
    for (; end - p >= 16; p += 16) {
        const int mask = _mm_movemask_epi8(lineEndLanes<LaneBytes>(load(p)));
        if (mask != 0) return p + lowestBit(mask);
    }
    return p;
}
#endif

}  // namespace fast_paths

#include "toolkit/text_file/fast_paths/scan.h"
#include "toolkit/text_file/fast_paths/widen.h"
#include "toolkit/text_file/fast_paths/narrow.h"
