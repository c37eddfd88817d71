// The fast paths that narrow UTF-16 units to bytes; included by
// toolkit/text_file/fast_paths.h, which says what they share.
#pragma once

namespace fast_paths {

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

// --- A replacement text, stored whole ---------------------------------------

inline unsigned char* storeShortTextPlain(unsigned char* out, const std::uint64_t& text, std::size_t length) {
    std::memcpy(out, &text, length);
    return out + length;
}

// Stores the leading `length` bytes (at most shortTextBytes) of `text`, a
// replacement text zero-padded in memory order, at `out` and returns their
// end. The fast path stores all shortTextBytes in one move: `out` has that
// room.
inline unsigned char* storeShortText(unsigned char* out, const std::uint64_t& text, std::size_t length) {
    std::memcpy(out, &text, shortTextBytes);
    return out + length;
}

}  // namespace fast_paths
