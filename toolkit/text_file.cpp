// Buffering, byte-order marks, line readers and encoders of the text files.
// The platform files supply exclusive handles, byte I/O and the ANSI code
// page; everything observable about buffering and positions is decided here.
#include "toolkit/text_file.h"

#include <cstring>
#include <initializer_list>
#include <memory>
#include <new>
#include <vector>

#include "toolkit/text_file_platform.h"
#include "toolkit/utf8_coder.h"

// Plain bytes and ASCII text go sixteen at a time where SSE2 is there (every
// x86-64 build), eight at a time in 64-bit words elsewhere.
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The buffer that the service describes holds 4096 bytes; the bytes move to
// and from the system in chunks of this size instead, so that a long file
// costs a sixteenth of the system calls. What a 4096-byte buffer would still
// hold is counted separately: that count is what `flush` reports.
constexpr std::int32_t systemChunkSize = 16 * fileBufferSize;

struct TextFile {
    platform_file::Handle handle = 0;
    std::unique_ptr<unsigned char[]> buffer;  // systemChunkSize bytes
    std::int32_t bufferSize = fileBufferSize;
    // Reading state: read-ahead bytes not yet consumed.
    std::int32_t remaining = 0;
    // Bytes the last refill delivered; the next unread byte lies `remaining`
    // bytes before this mark.
    std::int32_t filled = 0;
    // Writing state: bytes in the buffer not yet handed to the system, and
    // how many of them a 4096-byte buffer would still be holding.
    std::int32_t held = 0;
    std::int32_t pending = 0;
    bool readingState = true;
    TextEncoding defaultEncoding = TextEncoding::Utf8;
    bool readOnly = false;
    bool writeFailed = false;
};

std::vector<std::unique_ptr<TextFile>> openFiles;

// Numbers the service assigns start above the small ones that callers pick
// for themselves, so an assigned file never gets closed by a caller's open.
constexpr int firstAssignedNumber = 64;
// A bound on caller-chosen numbers keeps a stray value from growing the table
// without limit.
constexpr int largestFileNumber = 65535;

TextFile* lookup(FileId id) {
    int n = static_cast<int>(id);
    if (n < 0 || static_cast<std::size_t>(n) >= openFiles.size()) return nullptr;
    return openFiles[static_cast<std::size_t>(n)].get();
}

// Hands bytes to the system, retrying a short write once more for the rest;
// returns what the system took and notes any shortfall.
std::int32_t writeToSystem(TextFile& f, const unsigned char* bytes, std::int32_t count) {
    std::int32_t total = 0;
    while (total < count) {
        std::int32_t put = platform_file::write(f.handle, bytes + total, count - total);
        if (put <= 0) break;
        total += put;
    }
    if (total < count) f.writeFailed = true;
    return total;
}

std::int32_t writeOutBuffer(TextFile& f) {
    if (f.readingState || f.held == 0) return 0;
    const std::int32_t held = f.held;
    f.held = 0;
    return writeToSystem(f, f.buffer.get(), held);
}

// Keeps the count of a 4096-byte buffer: a write smaller than its free room
// joins it; any other write empties it first, and one of 4096 bytes or more
// goes to the system at once and leaves it empty.
void notePending(TextFile& f, std::int32_t count) {
    if (count < f.bufferSize - f.pending) {
        f.pending += count;
    } else {
        f.pending = count < f.bufferSize ? count : 0;
    }
}

void enterReadingState(TextFile& f) {
    if (f.readingState) return;
    writeOutBuffer(f);
    f.readingState = true;
    f.pending = 0;
    f.remaining = 0;
    f.filled = 0;
}

void enterWritingState(TextFile& f) {
    if (!f.readingState) return;
    if (f.remaining > 0) {
        std::int64_t at = platform_file::tell(f.handle);
        if (at >= 0) platform_file::seekTo(f.handle, at - f.remaining);
    }
    f.readingState = false;
    f.remaining = 0;
    f.filled = 0;
    f.held = 0;
    f.pending = 0;
}

bool refill(TextFile& f) {
    f.filled = platform_file::read(f.handle, f.buffer.get(), systemChunkSize);
    f.remaining = f.filled;
    return f.filled > 0;
}

const unsigned char* unread(const TextFile& f) { return f.buffer.get() + (f.filled - f.remaining); }

std::int64_t logicalPosition(const TextFile& f) {
    std::int64_t at = platform_file::tell(f.handle);
    if (at < 0) return -1;
    return f.readingState ? at - f.remaining : at + f.held;
}

void seekTo(TextFile& f, std::int64_t at) {
    enterReadingState(f);
    f.remaining = 0;
    f.filled = 0;
    platform_file::seekTo(f.handle, at);
}

std::int32_t readBytes(TextFile& f, unsigned char* bytes, std::int32_t count) {
    enterReadingState(f);
    if (f.remaining >= count) {
        std::memcpy(bytes, unread(f), static_cast<std::size_t>(count));
        f.remaining -= count;
        return count;
    }
    std::int32_t delivered = f.remaining;
    std::memcpy(bytes, unread(f), static_cast<std::size_t>(delivered));
    f.remaining = 0;
    std::int32_t rest = count - delivered;
    if (rest < systemChunkSize) {
        refill(f);
        std::int32_t take = rest < f.filled ? rest : f.filled;
        std::memcpy(bytes + delivered, f.buffer.get(), static_cast<std::size_t>(take));
        f.remaining -= take;
        return delivered + take;
    }
    return delivered + platform_file::read(f.handle, bytes + delivered, rest);
}

// Un-reads bytes just read. They are normally still in the buffer; when a
// read straddled a refill they are not all there, and the file position is
// moved back instead.
void pushBack(TextFile& f, std::int32_t count) {
    if (f.remaining + count <= f.filled) {
        f.remaining += count;
    } else {
        seekTo(f, logicalPosition(f) - count);
    }
}

std::int32_t writeBytes(TextFile& f, const unsigned char* bytes, std::int32_t count) {
    if (f.readOnly) return 0;
    enterWritingState(f);
    notePending(f, count);
    if (count <= systemChunkSize - f.held) {
        std::memcpy(f.buffer.get() + f.held, bytes, static_cast<std::size_t>(count));
        f.held += count;
        if (count >= f.bufferSize) writeOutBuffer(f);
        return count;
    }
    writeOutBuffer(f);
    return writeToSystem(f, bytes, count);
}

void closeFile(int number) {
    std::unique_ptr<TextFile>& slot = openFiles[static_cast<std::size_t>(number)];
    if (!slot) return;
    writeOutBuffer(*slot);
    platform_file::close(slot->handle);
    slot.reset();
}

FileId openFile(const std::u16string& path, FileId id, platform_file::OpenMode mode) {
    int number = static_cast<int>(id);
    if (id == FileId::assign) {
        number = firstAssignedNumber;
        while (static_cast<std::size_t>(number) < openFiles.size() &&
               openFiles[static_cast<std::size_t>(number)]) {
            ++number;
        }
    } else if (number < 0 || number > largestFileNumber) {
        return FileId::none;
    } else if (static_cast<std::size_t>(number) < openFiles.size()) {
        closeFile(number);
    }

    auto file = std::unique_ptr<TextFile>(new (std::nothrow) TextFile);
    if (!file) return FileId::none;
    file->buffer.reset(new (std::nothrow) unsigned char[systemChunkSize]);
    if (!file->buffer) return FileId::none;
    if (!platform_file::open(path, mode, file->handle)) return FileId::none;
    file->readOnly = mode == platform_file::OpenMode::ReadOnly;
    if (openFiles.size() <= static_cast<std::size_t>(number)) {
        openFiles.resize(static_cast<std::size_t>(number) + 1);
    }
    openFiles[static_cast<std::size_t>(number)] = std::move(file);
    return static_cast<FileId>(number);
}

// --- Line readers --------------------------------------------------------

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

void appendSingleByteText(const unsigned char* bytes, std::size_t count,
                          const AnsiDecoding& decoding, std::u16string& line) {
    const std::size_t base = line.size();
    line.resize(base + count);
    char16_t* d = &line[0] + base;
    const char16_t* const table = decoding.table;
    std::size_t i = 0;
    if (decoding.asciiUnchanged) {
#if defined(__SSE2__)
        // Widen sixteen bytes, then look up the few that are not ASCII.
        const __m128i zero = _mm_setzero_si128();
        for (; count - i >= 16; i += 16) {
            const __m128i plain = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_unpacklo_epi8(plain, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 8), _mm_unpackhi_epi8(plain, zero));
            for (unsigned high = static_cast<unsigned>(_mm_movemask_epi8(plain)); high != 0;
                 high &= high - 1) {
                const std::size_t k = i + static_cast<std::size_t>(__builtin_ctz(high));
                d[k] = table[bytes[k]];
            }
        }
#else
        for (; count - i >= 8; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, bytes + i, 8);
            if ((word & 0x8080808080808080ull) != 0) {
                for (std::size_t k = i; k < i + 8; ++k) d[k] = table[bytes[k]];
            } else {
                for (std::size_t k = i; k < i + 8; ++k) d[k] = bytes[k];
            }
        }
#endif
    }
    for (; i < count; ++i) d[i] = table[bytes[i]];
}

void readAnsiLine(TextFile& f, std::u16string& line) {
    ByteLine bytes = readByteLine(f);
    const AnsiDecoding& decoding = ansiDecoding();
    if (decoding.table) {
        appendSingleByteText(bytes.bytes, bytes.count, decoding, line);
    } else {
        platform_file::appendAnsiAsText(bytes.bytes, bytes.count, line);
    }
    if (bytes.terminator == 0x0D) skipLineFeed(f, 1, false);
}

void readUtf8Line(TextFile& f, std::u16string& line) {
    ByteLine bytes = readByteLine(f);
    // A sequence broken by the terminator is damaged (U+FFFD); one cut by
    // the end of the file is dropped.
    appendUtf8AsText(bytes.bytes, bytes.count, Utf8DecodeRules{u'?', bytes.terminator == 0xFF},
                     line);
    if (bytes.terminator == 0x0D) skipLineFeed(f, 1, false);
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
    while (terminator == 0xFFFFFFFF) {
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
        while (p < end && !isTerminator(unitAt(p, unitSize, bigEndian))) p += unitSize;
        const std::size_t units = static_cast<std::size_t>(p - start) / static_cast<std::size_t>(unitSize);
        // UTF-32 may need two code units per value.
        const std::size_t base = line.size();
        line.resize(base + (unitSize == 2 ? units : 2 * units));
        char16_t* d = &line[0] + base;
        for (const unsigned char* q = start; q < p; q += unitSize) {
            d += storeUnit(d, unitAt(q, unitSize, bigEndian), unitSize);
        }
        line.resize(static_cast<std::size_t>(d - line.data()));
        std::int32_t consumed = static_cast<std::int32_t>(p - start);
        if (p < end) {
            terminator = unitAt(p, unitSize, bigEndian);
            consumed += unitSize;
        }
        f.remaining -= consumed;
    }
    if (terminator == 0x0D) skipLineFeed(f, unitSize, bigEndian);
}

// --- Encoders --------------------------------------------------------------

std::size_t encodeUnits(const char16_t** text, const char16_t* end, unsigned char* out,
                        std::size_t room, bool bigEndian) {
    const char16_t* s = *text;
    std::size_t n = static_cast<std::size_t>(end - s);
    if (n > room / 2) n = room / 2;
    for (std::size_t i = 0; i < n; ++i) {
        unsigned c = s[i];
        out[2 * i + (bigEndian ? 1 : 0)] = static_cast<unsigned char>(c & 0xFF);
        out[2 * i + (bigEndian ? 0 : 1)] = static_cast<unsigned char>(c >> 8);
    }
    *text = s + n;
    return 2 * n;
}

std::size_t encodeUtf32(const char16_t** text, const char16_t* end, unsigned char* out,
                        std::size_t room, bool bigEndian) {
    const char16_t* s = *text;
    unsigned char* d = out;
    while (s < end && room - static_cast<std::size_t>(d - out) >= 4) {
        std::uint32_t c = *s++;
        if (c >= 0xD800 && c <= 0xDBFF && s < end && *s >= 0xDC00 && *s <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*s++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // UTF-32 has no form for a lone surrogate
        }
        for (int i = 0; i < 4; ++i) {
            int shift = bigEndian ? 24 - 8 * i : 8 * i;
            d[i] = static_cast<unsigned char>(c >> shift);
        }
        d += 4;
    }
    *text = s;
    return static_cast<std::size_t>(d - out);
}

// UTF-8 straight into the buffer, with the bytes the shared coder
// (utf8_coder.h) gives. ASCII, most of any text, goes in blocks.
inline std::size_t encodeUtf8Quickly(const char16_t** text, const char16_t* end,
                                     unsigned char* out, std::size_t room) {
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

std::size_t encode(TextEncoding encoding, const char16_t** text, const char16_t* end,
                   unsigned char* out, std::size_t room) {
    switch (encoding) {
    case TextEncoding::Utf8: return encodeUtf8Quickly(text, end, out, room);
    case TextEncoding::Utf16LE: return encodeUnits(text, end, out, room, false);
    case TextEncoding::Utf16BE: return encodeUnits(text, end, out, room, true);
    case TextEncoding::Utf32LE: return encodeUtf32(text, end, out, room, false);
    case TextEncoding::Utf32BE: return encodeUtf32(text, end, out, room, true);
    case TextEncoding::Ansi: break;
    }
    return platform_file::encodeAnsi(text, end, out, room);
}

// The largest number of bytes one encoder step may need at once.
constexpr std::int32_t largestCharacter = 8;

std::int64_t writeEncoded(TextFile& f, std::u16string_view text, TextEncoding encoding) {
    enterWritingState(f);
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    std::int64_t total = 0;
    if (encoding == TextEncoding::Utf8 &&
        text.size() <= static_cast<std::size_t>(systemChunkSize - f.held) / 3) {
        // The usual piece of a line: it fits whole, three bytes a unit at most.
        total = static_cast<std::int64_t>(
            encodeUtf8Quickly(&s, end, f.buffer.get() + f.held,
                              static_cast<std::size_t>(systemChunkSize - f.held)));
        f.held += static_cast<std::int32_t>(total);
    } else {
        // Encoded straight into the buffer; a full buffer is written out.
        while (s < end) {
            if (systemChunkSize - f.held < largestCharacter) writeOutBuffer(f);
            unsigned char* room = f.buffer.get() + f.held;
            const std::size_t free = static_cast<std::size_t>(systemChunkSize - f.held);
            const std::size_t put = encode(encoding, &s, end, room, free);
            if (put == 0) break;  // the code page converter failed
            f.held += static_cast<std::int32_t>(put);
            total += static_cast<std::int64_t>(put);
        }
    }
    notePending(f, total < f.bufferSize ? static_cast<std::int32_t>(total) : f.bufferSize);
    // A write of a buffer's size or more reaches the system at once.
    if (total >= f.bufferSize) writeOutBuffer(f);
    return total;
}

}  // namespace

FileId openRead(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::ReadOnly);
}

FileId create(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::Create);
}

FileId openReadWrite(const std::u16string& path, FileId id) {
    return openFile(path, id, platform_file::OpenMode::ReadWrite);
}

TextEncoding detectEncoding(FileId file) {
    TextFile* f = lookup(file);
    if (!f) return TextEncoding::Ansi;
    unsigned char mark[4] = {};
    std::int32_t got = readBytes(*f, mark, 4);
    auto begins = [&](std::initializer_list<unsigned char> bytes) {
        if (got < static_cast<std::int32_t>(bytes.size())) return false;
        return std::memcmp(mark, bytes.begin(), bytes.size()) == 0;
    };
    TextEncoding encoding = TextEncoding::Ansi;
    std::int32_t markLength = 0;
    if (begins({0xFF, 0xFE, 0x00, 0x00})) {
        encoding = TextEncoding::Utf32LE;
        markLength = 4;
    } else if (begins({0xFF, 0xFE})) {
        encoding = TextEncoding::Utf16LE;
        markLength = 2;
    } else if (begins({0xEF, 0xBB, 0xBF})) {
        encoding = TextEncoding::Utf8;
        markLength = 3;
    } else if (begins({0xFE, 0xFF})) {
        encoding = TextEncoding::Utf16BE;
        markLength = 2;
    } else if (begins({0x00, 0x00, 0xFE, 0xFF})) {
        encoding = TextEncoding::Utf32BE;
        markLength = 4;
    }
    if (got > markLength) pushBack(*f, got - markLength);
    return encoding;
}

void writeByteOrderMark(FileId file, TextEncoding encoding) {
    TextFile* f = lookup(file);
    if (!f) return;
    static const unsigned char utf8[] = {0xEF, 0xBB, 0xBF};
    static const unsigned char utf16LE[] = {0xFF, 0xFE};
    static const unsigned char utf16BE[] = {0xFE, 0xFF};
    static const unsigned char utf32LE[] = {0xFF, 0xFE, 0x00, 0x00};
    static const unsigned char utf32BE[] = {0x00, 0x00, 0xFE, 0xFF};
    switch (encoding) {
    case TextEncoding::Ansi: break;
    case TextEncoding::Utf8: writeBytes(*f, utf8, 3); break;
    case TextEncoding::Utf16LE: writeBytes(*f, utf16LE, 2); break;
    case TextEncoding::Utf16BE: writeBytes(*f, utf16BE, 2); break;
    case TextEncoding::Utf32LE: writeBytes(*f, utf32LE, 4); break;
    case TextEncoding::Utf32BE: writeBytes(*f, utf32BE, 4); break;
    }
}

bool atEnd(FileId file) {
    TextFile* f = lookup(file);
    // A file that is not open has nothing left to read; answering "not at
    // the end" would keep a reading loop going for ever.
    if (!f) return true;
    if (f->readingState && f->remaining > 0) return false;
    unsigned char byte;
    if (readBytes(*f, &byte, 1) == 0) return true;
    pushBack(*f, 1);
    return false;
}

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

std::u16string readLine(FileId file, TextEncoding encoding) {
    std::u16string line;
    readLine(file, line, encoding);
    return line;
}

std::u16string readLine(FileId file) { return readLine(file, defaultEncoding(file)); }

std::int64_t writeString(FileId file, std::u16string_view text, TextEncoding encoding) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    return writeEncoded(*f, text, encoding);
}

std::int64_t writeString(FileId file, std::u16string_view text) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    return writeEncoded(*f, text, f->defaultEncoding);
}

std::int64_t writeLine(FileId file, std::u16string_view text, TextEncoding encoding) {
    writeString(file, text, encoding);
    return writeString(file, u"\r\n", encoding);
}

std::int64_t flush(FileId file) {
    TextFile* f = lookup(file);
    if (!f || f->readingState) return 0;
    // The result counts what a 4096-byte buffer would have written here;
    // the bytes held from earlier writes it would have written before.
    const std::int32_t held = f->held;
    const std::int32_t pending = f->pending;
    const std::int32_t put = writeOutBuffer(*f);
    f->pending = 0;
    if (put == held) return pending;
    const std::int32_t earlier = held > pending ? held - pending : 0;
    return put > earlier ? put - earlier : 0;
}

void seek(FileId file, std::int64_t position) {
    TextFile* f = lookup(file);
    if (f) seekTo(*f, position);
}

std::int64_t position(FileId file) {
    TextFile* f = lookup(file);
    return f ? logicalPosition(*f) : -1;
}

bool truncate(FileId file) {
    TextFile* f = lookup(file);
    if (!f) return false;
    std::int64_t at = logicalPosition(*f);
    if (at < 0) return false;
    seekTo(*f, at);
    if (f->writeFailed) return false;
    return platform_file::setEndHere(f->handle);
}

void close(FileId file) {
    if (lookup(file)) closeFile(static_cast<int>(file));
}

void closeAllTextFiles() {
    for (std::size_t n = 0; n < openFiles.size(); ++n) closeFile(static_cast<int>(n));
}

TextEncoding defaultEncoding(FileId file) {
    TextFile* f = lookup(file);
    return f ? f->defaultEncoding : TextEncoding::Utf8;
}

bool writeFailed(FileId file) {
    TextFile* f = lookup(file);
    return f && f->writeFailed;
}

bool ansiCanHold(std::u16string_view text) {
    // A round trip through the code page in small steps; ASCII always fits.
    const char16_t* p = text.data();
    const char16_t* const end = p + text.size();
    unsigned char bytes[64];
    std::u16string decoded;
    while (p != end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const char16_t* const from = p;
        const char16_t* stop = p;
        while (stop != end && *stop >= 0x80 && stop - from < 16) ++stop;
        const std::size_t count = platform_file::encodeAnsi(&p, stop, bytes, sizeof bytes);
        decoded.clear();
        platform_file::appendAnsiAsText(bytes, count, decoded);
        if (decoded != std::u16string_view(from, static_cast<std::size_t>(p - from))) return false;
    }
    return true;
}
