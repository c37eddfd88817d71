// The text files' fast paths: the one place that knows vector instructions.
// Each fast path stands beside the plain rule it must equal, a function of
// the same name ending in Plain; the table test FastPaths.EqualTheirPlainRules
// and the line reader's fuzzer hold each pair equal (tests/fast_path_pairs.h).
// The fast paths:
//   findLineEnd      the next CR, LF or NUL byte
//   findUnitLineEnd  the next CR, LF or NUL unit of UTF-16LE bytes
//   findUnit         the next unit equal to a character (the converter's
//                    tag symbols)
//   widenAndMark     single-byte code page bytes widened, their line ends
//                    marked in a bitmap
//   widenPlainRun    the leading ASCII of UTF-8 bytes widened
//   encodeRun        the leading ASCII of UTF-16 text narrowed to bytes, up
//                    to a replaced character or a stop
//   narrowAscii      a short piece of UTF-16 text narrowed whole when it is
//                    ASCII
// Each takes sixteen bytes a step where SSE2 is there: every x86 build (the
// 32-bit one by -msse2) and a WebAssembly build compiled with -msse2 (which
// lowers to its SIMD). Where it is not, the plain rule does the work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fast_paths {

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

// --- Leading ASCII of UTF-16 text, narrowed ---------------------------------

// Where encodeRun stops besides a unit beyond ASCII: up to four replaced
// characters, each repeated in sixteen aligned lanes as a vector compare
// takes it straight from memory (text_file::Replacements holds them), and a
// stop; 0x80 for one not in use.
struct RunStops {
    const unsigned char (*patterns)[16];
    unsigned char stop;
#if defined(__SSE2__)
    __m128i stopLanes;
#endif
};

inline RunStops runStops(const unsigned char (*patterns)[16], unsigned char stop) {
    RunStops stops;
    stops.patterns = patterns;
    stops.stop = stop;
#if defined(__SSE2__)
    stops.stopLanes = _mm_set1_epi8(static_cast<char>(stop));
#endif
    return stops;
}

template <bool Stopping>
inline std::size_t encodeRunPlain(const char16_t* text, std::size_t count, unsigned char* out,
                                  const RunStops& stops) {
    for (std::size_t n = 0; n < count; ++n) {
        const char16_t c = text[n];
        if (c >= 0x80) return n;
        if (Stopping) {
            if (c == stops.stop) return n;
            for (int i = 0; i < 4; ++i) {
                if (c == stops.patterns[i][0]) return n;
            }
        }
        out[n] = static_cast<unsigned char>(c);
    }
    return count;
}

// Stores the leading units of the `count` at `text` that are ASCII (and,
// with Stopping, none of `stops`) as bytes at `out`, which has room for
// `count`; returns how many. The fast path may store bytes past that many,
// within the room. Without Stopping, `stops` is not read.
template <bool Stopping>
inline std::size_t encodeRun(const char16_t* text, std::size_t count, unsigned char* out, const RunStops& stops) {
#if defined(__SSE2__)
    // Units of interest among sixteen packed ones: packus keeps ASCII and
    // gives a byte with its top bit set for 0x80..0x7FFF (0 above); packs
    // sets the top bit exactly for 0x8000 and above. A slot not in use holds
    // 0x80, which only a unit beyond ASCII gives.
    auto interesting = [&stops](__m128i packed, __m128i signedPacked) {
        __m128i marks = packed;
        if (Stopping) {
            auto lanes = [&stops](int i) { return _mm_load_si128(reinterpret_cast<const __m128i*>(stops.patterns[i])); };
            const __m128i hits = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(packed, lanes(0)), _mm_cmpeq_epi8(packed, lanes(1))),
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(packed, lanes(2)), _mm_cmpeq_epi8(packed, lanes(3))),
                             _mm_cmpeq_epi8(packed, stops.stopLanes)));
            marks = _mm_or_si128(marks, hits);
        }
        return static_cast<unsigned>(_mm_movemask_epi8(marks) | _mm_movemask_epi8(signedPacked));
    };
    std::size_t n = 0;
    for (; count - n >= 16; n += 16) {
        const __m128i low = load(text + n);
        const __m128i high = load(text + n + 8);
        const __m128i packed = _mm_packus_epi16(low, high);
        store(out + n, packed);
        const unsigned mask = interesting(packed, _mm_packs_epi16(low, high));
        if (mask != 0) return n + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    const std::size_t left = count - n;
    if (left < 4) return n + encodeRunPlain<Stopping>(text + n, left, out + n, stops);
    // The last few units through two loads that overlap: the first eight (or
    // four) and the last eight (or four). Each half is stored where its units
    // belong, and a unit that both hold gives the same byte and mask bit; a
    // bit past the last unit ends the run there.
    const char16_t* const s = text + n;
    unsigned char* const d = out + n;
    const std::size_t half = left >= 8 ? 8 : 4;
    const std::size_t second = left - half;
    __m128i first;
    __m128i last;
    if (half == 8) {
        first = load(s);
        last = load(s + second);
    } else {
        first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s));
        last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(s + second));
        first = _mm_unpacklo_epi64(first, last);
        last = first;
    }
    const __m128i packed = _mm_packus_epi16(first, last);
    const unsigned both = interesting(packed, _mm_packs_epi16(first, last));
    unsigned mask;
    if (half == 8) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + second), _mm_unpackhi_epi64(packed, packed));
        mask = (both & 0xFFu) | ((both >> 8) << second) | (1u << left);
    } else {
        const std::int32_t firstBytes = _mm_cvtsi128_si32(packed);
        const std::int32_t lastBytes = _mm_cvtsi128_si32(_mm_srli_si128(packed, 4));
        std::memcpy(d, &firstBytes, 4);
        std::memcpy(d + second, &lastBytes, 4);
        mask = (both & 0xFu) | (((both >> 4) & 0xFu) << second) | (1u << left);
    }
    return n + static_cast<std::size_t>(__builtin_ctz(mask));
#else
    return encodeRunPlain<Stopping>(text, count, out, stops);
#endif
}

// --- A short piece of ASCII, narrowed whole --------------------------------

inline bool narrowAsciiPlain(const char16_t* text, std::size_t count, unsigned char* out) {
    for (std::size_t i = 0; i < count; ++i) {
        if (text[i] >= 0x80) return false;
    }
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return true;
}

// Stores the `count` units at `text` as bytes at `out`, which has room for
// `count`, when all are ASCII; false when one is not, and then the bytes at
// `out` are undefined. The fast path takes the piece through loads and
// stores that overlap at its end, as suits the short pieces of markup.
inline bool narrowAscii(const char16_t* text, std::size_t count, unsigned char* out) {
#if defined(__SSE2__)
    const __m128i highBits = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    auto allAscii = [&](__m128i units) {
        return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, highBits), zero)) == 0xFFFF;
    };
    if (count > 16) {
        // Sixteen units a step, the last step ending with the last unit.
        auto storeSixteen = [&](std::size_t at) {
            const __m128i low = load(text + at);
            const __m128i high = load(text + at + 8);
            store(out + at, _mm_packus_epi16(low, high));
            return allAscii(_mm_or_si128(low, high));
        };
        std::size_t at = 0;
        for (; at + 16 < count; at += 16) {
            if (!storeSixteen(at)) return false;
        }
        return storeSixteen(count - 16);
    }
    if (count >= 8) {
        const __m128i first = load(text);
        const __m128i last = load(text + count - 8);
        if (!allAscii(_mm_or_si128(first, last))) return false;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(first, first));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + count - 8), _mm_packus_epi16(last, last));
        return true;
    }
    if (count >= 4) {
        const __m128i first = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text));
        const __m128i last = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(text + count - 4));
        if (!allAscii(_mm_or_si128(first, last))) return false;
        const std::int32_t firstBytes = _mm_cvtsi128_si32(_mm_packus_epi16(first, first));
        const std::int32_t lastBytes = _mm_cvtsi128_si32(_mm_packus_epi16(last, last));
        std::memcpy(out, &firstBytes, 4);
        std::memcpy(out + count - 4, &lastBytes, 4);
        return true;
    }
#endif
    return narrowAsciiPlain(text, count, out);
}

}  // namespace fast_paths
