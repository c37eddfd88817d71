// Line readers: one line at a time in ANSI, UTF-8, UTF-16 or UTF-32, with the
// block scans that find line ends and widen plain bytes several at a time.
#include "toolkit/text_file/text_file.h"

#include <cstring>
#include <vector>

#include "toolkit/text_file/text_file_buffer.h"
#include "toolkit/text/utf8_coder.h"

// Plain bytes go sixteen at a time where SSE2 is there (every x86-64 build),
// eight at a time in 64-bit words elsewhere.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace text_file {

namespace {

// After a CR: a following LF belongs to the same line end; anything else is
// left for the next read.
void skipLineFeed(TextFile& f, std::int32_t unitSize, bool bigEndian) {
    if (unitSize == 1 && f.readingState && f.remaining > 0) {
        if (*unread(f) == 0x0A) --f.remaining;
        return;
    }
    unsigned char unit[4] = {};
    std::int32_t got = readBytes(f, unit, unitSize);
    if (got == 0) return;
    bool lineFeed = got == unitSize;
    for (std::int32_t i = 0; i < unitSize && lineFeed; ++i) {
        unsigned char expected = (bigEndian ? i == unitSize - 1 : i == 0) ? 0x0A : 0x00;
        lineFeed = unit[i] == expected;
    }
    if (!lineFeed) pushBack(f, got);
}

// After a CR in a byte encoding: CR LF, the usual line end, taken at once
// while both are in the buffer.
inline void skipByteLineFeed(TextFile& f) {
    if (f.remaining > 0) {
        if (*unread(f) == 0x0A) --f.remaining;
    } else {
        skipLineFeed(f, 1, false);
    }
}

inline bool isTerminator(std::uint32_t c) {
    return c <= 0x0D && ((1u << c) & ((1u << 0x00) | (1u << 0x0A) | (1u << 0x0D))) != 0;
}

// The first CR, LF or NUL in [p, end), or end; terminators are rare in text.
const unsigned char* findByteTerminator(const unsigned char* p, const unsigned char* end) {
#if defined(__SSE2__)
    const __m128i nul = _mm_setzero_si128();
    const __m128i lineFeed = _mm_set1_epi8(0x0A);
    const __m128i carriageReturn = _mm_set1_epi8(0x0D);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i hits = _mm_or_si128(
            _mm_cmpeq_epi8(bytes, nul),
            _mm_or_si128(_mm_cmpeq_epi8(bytes, lineFeed), _mm_cmpeq_epi8(bytes, carriageReturn)));
        const int mask = _mm_movemask_epi8(hits);
        if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#else
    // Any byte below 0x0E marks a word worth a closer look.
    constexpr std::uint64_t ones = 0x0101010101010101ull;
    constexpr std::uint64_t highs = 0x8080808080808080ull;
    while (end - p >= 8) {
        std::uint64_t word;
        std::memcpy(&word, p, 8);
        if (((word - ones * 0x0E) & ~word & highs) != 0) {
            for (int i = 0; i < 8; ++i) {
                if (isTerminator(p[i])) return p + i;
            }
        }
        p += 8;
    }
#endif
    while (p < end && !isTerminator(*p)) ++p;
    return p;
}

// Line bytes gathered across refills; reused so that long files cost no
// allocation per line.
std::vector<unsigned char> spill;

struct ByteLine {
    const unsigned char* bytes;
    std::size_t count;
    unsigned char terminator;  // CR, LF or NUL; 0xFF for the end of the file
};

// Finds one line of a byte encoding. The bytes stay in the file buffer when
// the line lies within one refill and are valid until the next buffer access.
ByteLine readByteLine(TextFile& f) {
    enterReadingState(f);
    spill.clear();
    for (;;) {
        if (f.remaining == 0 && !refill(f)) return {spill.data(), spill.size(), 0xFF};
        const unsigned char* start = unread(f);
        const unsigned char* end = start + f.remaining;
        const unsigned char* at = findByteTerminator(start, end);
        if (at == end) {
            spill.insert(spill.end(), start, end);
            f.remaining = 0;
            if (spill.size() >= longLineBytes) return {spill.data(), spill.size(), longLineMark};
            continue;
        }
        f.remaining -= static_cast<std::int32_t>(at - start) + 1;
        if (spill.empty()) return {start, static_cast<std::size_t>(at - start), *at};
        spill.insert(spill.end(), start, at);
        return {spill.data(), spill.size(), *at};
    }
}

// The code page's table when it has one byte per character, and whether it
// leaves ASCII as it is, which lets eight plain bytes widen at once.
struct AnsiDecoding {
    const char16_t* table;
    bool asciiUnchanged;
};

const AnsiDecoding& ansiDecoding() {
    static const AnsiDecoding decoding = [] {
        AnsiDecoding d{platform_file::ansiDecodeTable(), false};
        if (d.table) {
            d.asciiUnchanged = true;
            for (int b = 0; b < 0x80; ++b) d.asciiUnchanged = d.asciiUnchanged && d.table[b] == b;
        }
        return d;
    }();
    return decoding;
}

// Line text is gathered here on its way into the line, a few hundred units
// at a time: appending a filled block copies it once, where growing the line
// first would also clear the room it is about to fill.
constexpr std::size_t blockUnits = 256;

// Where the compiler copies inline (the Windows build's hot path, see
// cmake/program_files.cmake), text is copied into the line in whole steps of
// this many units, from places with room behind the text, and the excess is
// cut off again: a copy of any other length ends in a loop of single bytes,
// which took half the reader's time. Elsewhere the C library's copy is
// better off with the exact length.
#ifndef PAGESMITH_COPY_STEP
#define PAGESMITH_COPY_STEP 1
#endif
constexpr std::size_t copyStep = PAGESMITH_COPY_STEP;
static_assert(copyStep != 0 && (copyStep & (copyStep - 1)) == 0, "a power of two");
static_assert(copyStep <= wideTextSlack, "a whole step stays inside the widened text's room");

inline void appendInSteps(std::u16string& line, const char16_t* units, std::size_t count) {
    if (copyStep == 1) {
        line.append(units, count);
        return;
    }
    const std::size_t base = line.size();
    line.append(units, (count + copyStep - 1) & ~(copyStep - 1));
    line.resize(base + count);
}

// Bytes of a refill widened at a time (a multiple of 64): a window's bytes
// and text are still in the processor's nearer caches when its lines are
// converted, where a whole refill's text would have been pushed out by the
// rest of it.
#ifndef PAGESMITH_WIDE_WINDOW
#define PAGESMITH_WIDE_WINDOW 16384
#endif
constexpr std::int32_t wideWindow = PAGESMITH_WIDE_WINDOW;
static_assert(wideWindow > 0 && wideWindow % 64 == 0, "whole words of marks");

// A single-byte code page that leaves ASCII as it is is read a window of a
// refill at a time: the window is widened in one pass, 64 bytes per step with
// only the bytes above 0x7F looked up in the table, and its CR, LF and NUL
// bytes are marked in a bitmap on the way. A line is then a look for the next
// mark and one copy, with no loop that ends where the line ends. A mark just
// past the window ends every search; the next window replaces it.
void widenWindow(TextFile& f, const char16_t* table) {
    if (f.wideTextOf != f.refills) {
        if (!f.wideText) makeWideTextRoom(f);
        f.wideTextOf = f.refills;
        f.widened = 0;
    }
    const unsigned char* const bytes = f.buffer.get();
    char16_t* const wide = f.wideText.get();
    std::uint64_t* const ends = f.lineEnds.get();
    const std::int32_t filled = f.filled - f.widened > wideWindow ? f.widened + wideWindow : f.filled;
    std::int32_t i = f.widened;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i lineFeed = _mm_set1_epi8(0x0A);
    const __m128i carriageReturn = _mm_set1_epi8(0x0D);
    auto widenSixteen = [&](__m128i plain, std::int32_t at) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + at), _mm_unpacklo_epi8(plain, zero));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + at + 8), _mm_unpackhi_epi8(plain, zero));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_or_si128(
            _mm_cmpeq_epi8(plain, zero),
            _mm_or_si128(_mm_cmpeq_epi8(plain, lineFeed), _mm_cmpeq_epi8(plain, carriageReturn)))));
    };
    for (; filled - i >= 64; i += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 48));
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
    // The rest a byte at a time; a mark just past the last byte ends every
    // search for the next line end.
    std::uint64_t word = 0;
    for (; i < filled; ++i) {
        wide[i] = table[bytes[i]];
        if (isTerminator(bytes[i])) word |= std::uint64_t{1} << (i % 64);
        if (i % 64 == 63) {
            ends[i / 64] = word;
            word = 0;
        }
    }
    ends[filled / 64] = word | std::uint64_t{1} << (filled % 64);
    f.widened = filled;
}

// The first line end at or after `from` among the marks made so far, or
// where they end.
inline std::int32_t nextMark(const TextFile& f, std::int32_t from) {
    const std::uint64_t* ends = f.lineEnds.get();
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    constexpr bool littleEndian = true;
#else
    constexpr bool littleEndian = false;
#endif
    if (sizeof(void*) == 8 || !littleEndian) {
        std::int32_t w = from / 64;
        std::uint64_t word = ends[w] & (~std::uint64_t{0} << (from % 64));
        while (word == 0) word = ends[++w];
        if (sizeof(void*) == 8) return w * 64 + __builtin_ctzll(word);
        const std::uint32_t low = static_cast<std::uint32_t>(word);
        return w * 64 + (low != 0 ? __builtin_ctz(low) : 32 + __builtin_ctz(static_cast<std::uint32_t>(word >> 32)));
    }
    // 32-bit code takes the marks in 32-bit halves, as a 64-bit count is a
    // library call there. A line mostly ends in the half where it starts or
    // in the next one: both are taken at once, and only a longer line loops.
    // The next half is marked whenever the first has no mark (the last mark
    // ends the search), and lies in the bitmap's room.
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

// The first line end at or after `from` in the last refill, or `filled` when
// there is none; widens windows as far as the search goes.
inline std::int32_t nextLineEnd(TextFile& f, std::int32_t from, const char16_t* table) {
    if (f.wideTextOf != f.refills) widenWindow(f, table);
    while (f.widened <= from) widenWindow(f, table);
    std::int32_t at = nextMark(f, from);
    while (at == f.widened && at < f.filled) {
        widenWindow(f, table);
        at = nextMark(f, at);
    }
    return at;
}

// Returns the terminator, or 0xFF at the end of the file. A line that
// outgrows longLineBytes is left to readLongByteLine, which gives the rest
// its room at once.
unsigned char readSingleByteLine(TextFile& f, const char16_t* table, std::u16string& line) {
    const std::size_t start = line.size();
    for (;;) {
        if (f.remaining == 0 && line.size() - start >= longLineBytes) {
            spill.clear();
            return readLongByteLine(f, spill, TextEncoding::Ansi, line);
        }
        if (f.remaining == 0 && !refill(f)) return 0xFF;
        const std::int32_t from = f.filled - f.remaining;
        const std::int32_t at = nextLineEnd(f, from, table);
        appendInSteps(line, f.wideText.get() + from, static_cast<std::size_t>(at - from));
        if (at == f.filled) {
            f.remaining = 0;
            continue;
        }
        f.remaining = f.filled - at - 1;
        return f.buffer[static_cast<std::size_t>(at)];
    }
}

void readAnsiLine(TextFile& f, std::u16string& line) {
    enterReadingState(f);
    const AnsiDecoding& decoding = ansiDecoding();
    unsigned char terminator;
    if (decoding.table && decoding.asciiUnchanged) {
        terminator = readSingleByteLine(f, decoding.table, line);
    } else {
        ByteLine bytes = readByteLine(f);
        terminator = bytes.terminator;
        if (terminator == longLineMark) {
            terminator = readLongByteLine(f, spill, TextEncoding::Ansi, line);
        } else if (decoding.table) {
            for (std::size_t i = 0; i < bytes.count; ++i) line += decoding.table[bytes.bytes[i]];
        } else {
            platform_file::appendAnsiAsText(bytes.bytes, bytes.count, line);
        }
    }
    if (terminator == 0x0D) skipByteLineFeed(f);
}

// The rest of a UTF-8 line the plain way: its bytes gathered, across
// refills when need be, and decoded as a whole. A sequence broken by the
// terminator is damaged (U+FFFD); one cut by the end of the file is dropped.
unsigned char readUtf8Rest(TextFile& f, std::u16string& line) {
    ByteLine bytes = readByteLine(f);
    if (bytes.terminator == longLineMark) return readLongByteLine(f, spill, TextEncoding::Utf8, line);
    appendUtf8AsText(bytes.bytes, bytes.count, Utf8DecodeRules{u'?', bytes.terminator == 0xFF}, line);
    return bytes.terminator;
}

// One UTF-8 line, found and decoded in the same pass: sixteen bytes per step
// are widened while they are ASCII, and a character beyond ASCII is decoded
// where it stands. Only a character that runs past the bytes read so far
// leaves the rest of the line to readUtf8Rest.
unsigned char readUtf8LineInPlace(TextFile& f, std::u16string& line) {
    if (f.remaining == 0 && !refill(f)) return 0xFF;
    const unsigned char* p = unread(f);
    const unsigned char* const end = p + f.remaining;
    // Static, so that the units a whole-step copy takes past the text are
    // always initialised, with no clearing per line.
    static char16_t block[blockUnits + 2 + copyStep];
    for (;;) {
        char16_t* d = block;
        while (d < block + blockUnits) {
#if defined(__SSE2__)
            if (end - p >= 16 && block + blockUnits - d >= 16) {
                const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const __m128i zero = _mm_setzero_si128();
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_unpacklo_epi8(bytes, zero));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 8), _mm_unpackhi_epi8(bytes, zero));
                const unsigned stops = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, zero), _mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x0A))),
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(0x0D)), _mm_cmpgt_epi8(zero, bytes)))));
                if (stops == 0) {
                    p += 16;
                    d += 16;
                    continue;
                }
                const int plain = __builtin_ctz(stops);
                p += plain;
                d += plain;
            }
#endif
            if (p == end) {
                // The line goes on past what was read: the rest the plain way.
                appendInSteps(line, block, static_cast<std::size_t>(d - block));
                f.remaining = 0;
                return readUtf8Rest(f, line);
            }
            if (isTerminator(*p)) {
                appendInSteps(line, block, static_cast<std::size_t>(d - block));
                f.remaining = static_cast<std::int32_t>(end - p) - 1;
                return *p;
            }
            int units;
            bool cut;
            const std::size_t taken = decodeUtf8Character(p, static_cast<std::size_t>(end - p), u'?', d, units, cut);
            if (cut) {
                appendInSteps(line, block, static_cast<std::size_t>(d - block));
                f.remaining = static_cast<std::int32_t>(end - p);
                return readUtf8Rest(f, line);
            }
            p += taken;
            d += units;
        }
        appendInSteps(line, block, static_cast<std::size_t>(d - block));
    }
}

void readUtf8Line(TextFile& f, std::u16string& line) {
    enterReadingState(f);
    const unsigned char terminator = readUtf8LineInPlace(f, line);
    if (terminator == 0x0D) skipByteLineFeed(f);
}

inline std::uint32_t unitAt(const unsigned char* p, std::int32_t unitSize, bool bigEndian) {
    if (unitSize == 2) {
        return bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    }
    return bigEndian ? (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3])
                     : (std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
}

// Stores one unit of the file as UTF-16; returns the code units written (the
// room for two is always there).
inline int storeUnit(char16_t* d, std::uint32_t value, std::int32_t unitSize) {
    if (unitSize == 2) {
        d[0] = static_cast<char16_t>(value);
        return 1;
    }
    if (value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        d[0] = u'\uFFFD';
        return 1;
    }
    if (value < 0x10000) {
        d[0] = static_cast<char16_t>(value);
        return 1;
    }
    value -= 0x10000;
    d[0] = static_cast<char16_t>(0xD800 + (value >> 10));
    d[1] = static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    return 2;
}

// UTF-16 units pass unchanged, surrogates included; UTF-32 values become
// UTF-16, with invalid values as U+FFFD. A partial unit at the end of the
// file is dropped and ends the line.
void readUnitLine(TextFile& f, std::u16string& line, std::int32_t unitSize, bool bigEndian) {
    enterReadingState(f);
    std::uint32_t terminator = 0xFFFFFFFF;
    bool roomMade = false;
    while (terminator == 0xFFFFFFFF) {
        if (!roomMade && line.size() >= longLineBytes) {
            makeRoomForRest(f, line, unitSize, bigEndian);
            roomMade = true;
        }
        if (f.remaining == 0 && !refill(f)) return;
        if (f.remaining < unitSize) {
            unsigned char unit[4];
            if (readBytes(f, unit, unitSize) < unitSize) return;
            std::uint32_t value = unitAt(unit, unitSize, bigEndian);
            if (isTerminator(value)) {
                terminator = value;
                break;
            }
            char16_t stored[2];
            line.append(stored, static_cast<std::size_t>(storeUnit(stored, value, unitSize)));
            continue;
        }
        const unsigned char* start = unread(f);
        const unsigned char* end = start + (f.remaining - f.remaining % unitSize);
        // Find the terminator first, so that the line grows by what it gets.
        const unsigned char* p = start;
        const bool littleEndian16 = unitSize == 2 && !bigEndian;
#if defined(__SSE2__)
        if (littleEndian16) {
            // Eight units per compare; two mask bits per unit, the lower
            // one at the unit's first byte.
            const __m128i nul = _mm_setzero_si128();
            const __m128i lineFeed = _mm_set1_epi16(0x0A);
            const __m128i carriageReturn = _mm_set1_epi16(0x0D);
            while (end - p >= 16) {
                const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
                const int mask = _mm_movemask_epi8(_mm_or_si128(
                    _mm_cmpeq_epi16(units, nul),
                    _mm_or_si128(_mm_cmpeq_epi16(units, lineFeed), _mm_cmpeq_epi16(units, carriageReturn))));
                if (mask != 0) {
                    p += __builtin_ctz(static_cast<unsigned>(mask));
                    break;
                }
                p += 16;
            }
        }
#endif
        while (p < end && !isTerminator(unitAt(p, unitSize, bigEndian))) p += unitSize;
        const std::size_t units = static_cast<std::size_t>(p - start) / static_cast<std::size_t>(unitSize);
        if (littleEndian16 && reinterpret_cast<std::uintptr_t>(start) % alignof(char16_t) == 0) {
            // The file's units are the line's as they stand.
            line.append(reinterpret_cast<const char16_t*>(start), units);
        } else {
            // UTF-32 may need two code units per value.
            const std::size_t base = line.size();
            line.resize(base + (unitSize == 2 ? units : 2 * units));
            char16_t* d = &line[0] + base;
            for (const unsigned char* q = start; q < p; q += unitSize) {
                d += storeUnit(d, unitAt(q, unitSize, bigEndian), unitSize);
            }
            line.resize(static_cast<std::size_t>(d - line.data()));
        }
        std::int32_t consumed = static_cast<std::int32_t>(p - start);
        if (p < end) {
            terminator = unitAt(p, unitSize, bigEndian);
            consumed += unitSize;
        }
        f.remaining -= consumed;
    }
    if (terminator == 0x0D) skipLineFeed(f, unitSize, bigEndian);
}

}  // namespace

bool readLine(FileId file, std::u16string& line, TextEncoding encoding) {
    line.clear();
    TextFile* f = lookup(file);
    if (!f) return false;
    switch (encoding) {
    case TextEncoding::Ansi: readAnsiLine(*f, line); break;
    case TextEncoding::Utf8: readUtf8Line(*f, line); break;
    case TextEncoding::Utf16LE: readUnitLine(*f, line, 2, false); break;
    case TextEncoding::Utf16BE: readUnitLine(*f, line, 2, true); break;
    case TextEncoding::Utf32LE: readUnitLine(*f, line, 4, false); break;
    case TextEncoding::Utf32BE: readUnitLine(*f, line, 4, true); break;
    }
    return true;
}

bool readLineView(FileId file, std::u16string_view& view, std::u16string& line, TextEncoding encoding) {
    TextFile* f = lookup(file);
    // The widened refill holds the line when its end lies there; a refill
    // counts as widened only for the same refill count, which every read of
    // new bytes moves on.
    if (f && encoding == TextEncoding::Ansi && f->readingState && f->remaining > 0 && f->wideTextOf == f->refills) {
        const std::int32_t from = f->filled - f->remaining;
        const std::int32_t at = nextLineEnd(*f, from, ansiDecoding().table);
        if (at < f->filled) {
            view = std::u16string_view(f->wideText.get() + from, static_cast<std::size_t>(at - from));
            f->remaining = f->filled - at - 1;
            if (f->buffer[static_cast<std::size_t>(at)] == 0x0D) skipByteLineFeed(*f);
            return true;
        }
    }
    const bool open = readLine(file, line, encoding);
    view = line;
    return open;
}

std::u16string readLine(FileId file, TextEncoding encoding) {
    std::u16string line;
    readLine(file, line, encoding);
    return line;
}

std::u16string readLine(FileId file) { return readLine(file, defaultEncoding(file)); }

}  // namespace text_file
