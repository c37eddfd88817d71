// Writers: text encoded straight into the file's buffer in any of the six
// encodings, UTF-8 in one pass with its replacements, and the check whether
// the ANSI code page can hold a text.
#include "toolkit/text_file/text_file.h"

#include <cstring>

#include "toolkit/text/utf8_coder.h"
#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/text_file_buffer.h"

namespace text_file {

namespace {

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

std::size_t encode(TextEncoding encoding, const char16_t** text, const char16_t* end,
                   unsigned char* out, std::size_t room) {
    switch (encoding) {
    case TextEncoding::Utf8: return encodeUtf8(text, end, out, room);
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

// The UTF-8 pass takes as many units as surely fit in the room, less
// passSlack bytes: a pair whose second unit lies past the units taken adds
// one byte to its first unit's three, and the ending after the pass takes
// up to longestEnding (writeReplacingUntil). It writes out the buffer when
// less than passLeastRoom is left, which still takes at least one unit.
constexpr std::size_t utf8BytesPerUnit = 3;
constexpr std::size_t longestEnding = 8;
constexpr std::size_t passSlack = 32;
constexpr std::size_t passLeastRoom = 64;
static_assert(passSlack >= 1 + longestEnding && passLeastRoom - passSlack >= fast_paths::shortTextBytes,
              "a pair's fourth byte and the ending in the slack; a unit taken in the least room");

// Markup pieces up to this many units are stored at once when the buffer
// has that room (storeShortAscii).
constexpr std::size_t shortPieceUnits = 96;
static_assert(shortPieceUnits <= static_cast<std::size_t>(systemChunkSize), "an empty buffer takes a short piece");

// A finished piece of the described buffer's size or more goes to the
// system at once, as one write of that many bytes would.
inline void endPiece(TextFile& f, std::int64_t bytes) {
    if (bytes >= fileBufferSize) writeOutBuffer(f);
}

int replacementIndex(const Replacements& replacements, char16_t c) {
    for (int i = 0; i < replacements.count; ++i) {
        if (replacements.characters[i] == c) return i;
    }
    return -1;
}

// UTF-8 straight into the file's buffer in one pass: runs of ASCII are
// stored in blocks (fast_paths::encodeRun), and the pass stops only at a
// unit beyond ASCII and, when replacing, at a replaced character or the
// stop. Each run between replaced characters counts as one piece and each
// replacement text as one. Returns the units taken (a stop ends the pass
// before it) and adds the bytes produced to `written`. The same bytes as
// replaceByPieces (below) with writeEncoded's encoders, in every build.
template <bool Replacing>
std::size_t utf8Pass(TextFile& f, const char16_t* const begin, const char16_t* const end,
                     const Replacements& replacements, bool stopping, char16_t stop,
                     std::u16string_view ending, std::int64_t& written) {
    unsigned char* const base = f.buffer.get();
    unsigned char* d = base + f.held;
    unsigned char* runStart = d;
    std::int64_t runHandedOut = 0;  // bytes of the current run in earlier, full buffers
    const char16_t* s = begin;

    // The replaced characters and an ASCII stop end a run.
    const bool asciiStop = Replacing && stopping && stop < 0x80;
    const fast_paths::RunStops stops =
        fast_paths::runStops(replacements.patterns, static_cast<unsigned char>(asciiStop ? stop : 0x80));

    // A replacement text takes at most shortTextBytes for its one unit (all
    // of them stored, storeShortText), any other unit at most three.
    constexpr std::size_t mostBytesPerUnit = Replacing ? fast_paths::shortTextBytes : utf8BytesPerUnit;
    for (;;) {
        const std::size_t room = static_cast<std::size_t>(base + systemChunkSize - d);
        if (room < passLeastRoom) {
            runHandedOut += d - runStart;
            f.held = static_cast<std::int32_t>(d - base);
            writeOutBuffer(f);
            d = runStart = base;
            continue;
        }
        // Only as much of the text as surely fits.
        const std::size_t fits = (room - passSlack) / mostBytesPerUnit;
        const char16_t* const limit = static_cast<std::size_t>(end - s) > fits ? s + fits : end;
        while (s < limit) {
            const std::size_t plain = fast_paths::encodeRun<Replacing>(s, static_cast<std::size_t>(limit - s), d, stops);
            s += plain;
            d += plain;
            if (s >= limit) break;
            const char16_t c = *s;
            if (Replacing && stopping && c == stop) {
                const std::int64_t runBytes = runHandedOut + (d - runStart);
                written += runBytes;
                f.held = static_cast<std::int32_t>(d - base);
                if (runBytes != 0) endPiece(f, runBytes);
                return static_cast<std::size_t>(s - begin);
            }
            if (Replacing && c < 0x80) {
                const int i = replacementIndex(replacements, c);
                const std::int64_t runBytes = runHandedOut + (d - runStart);
                f.held = static_cast<std::int32_t>(d - base);
                if (runBytes != 0) endPiece(f, runBytes);
                d = base + f.held;
                d = fast_paths::storeShortText(d, replacements.textBytes[i], replacements.textLengths[i]);
                f.held = static_cast<std::int32_t>(d - base);
                written += runBytes + replacements.textLengths[i];
                runStart = d;
                runHandedOut = 0;
                ++s;
                continue;
            }
            // Beyond ASCII. A pair is whole only when its second unit
            // belongs to the same piece, that is, is not the stop.
            const bool pairCut = Replacing && stopping && end - s >= 2 && s[1] == stop;
            d += encodeUtf8Character(s, pairCut ? s + 1 : end, d);
        }
        if (s >= end) break;
    }
    const std::int64_t runBytes = runHandedOut + (d - runStart);
    written += runBytes;
    f.held = static_cast<std::int32_t>(d - base);
    if (runBytes != 0) endPiece(f, runBytes);
    if (!ending.empty()) {
        // A piece of its own, as writeString stores it, in the room the
        // pass left (passSlack).
        unsigned char* const e = base + f.held;
        for (std::size_t i = 0; i < ending.size(); ++i) e[i] = static_cast<unsigned char>(ending[i]);
        const std::int32_t n = static_cast<std::int32_t>(ending.size());
        f.held += n;
        written += n;
    }
    return static_cast<std::size_t>(end - begin);
}

const Replacements noReplacements{};

// A short piece of ASCII, as most markup is, stored at once; false when it
// is longer than shortPieceUnits, holds a unit beyond ASCII, or the buffer
// lacks the room of the longest one.
inline bool storeShortAscii(TextFile& f, const char16_t* s, std::size_t n) {
    if (n > shortPieceUnits || static_cast<std::size_t>(systemChunkSize - f.held) < shortPieceUnits) return false;
    if (!fast_paths::narrowAscii(s, n, f.buffer.get() + f.held)) return false;
    f.held += static_cast<std::int32_t>(n);
    return true;
}

std::int64_t writeEncoded(TextFile& f, std::u16string_view text, TextEncoding encoding) {
    enterWritingState(f);
    const char16_t* s = text.data();
    const char16_t* const end = s + text.size();
    std::int64_t total = 0;
    if (encoding == TextEncoding::Utf8) {
        utf8Pass<false>(f, s, end, noReplacements, false, u'\0', {}, total);
        return total;
    }
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
    endPiece(f, total);
    return total;
}

// Runs and replacement texts through writeEncoded, one piece each; with no
// file, only the stop is looked for.
std::size_t replaceByPieces(TextFile* f, const char16_t* begin, const char16_t* end,
                            const Replacements& replacements, bool stopping, char16_t stop) {
    const char16_t* run = begin;
    for (const char16_t* p = begin;; ++p) {
        if (p == end || (stopping && *p == stop)) {
            if (f && p != run) writeEncoded(*f, std::u16string_view(run, static_cast<std::size_t>(p - run)), f->defaultEncoding);
            return static_cast<std::size_t>(p - begin);
        }
        const int i = replacementIndex(replacements, *p);
        if (i < 0) continue;
        if (f) {
            if (p != run) writeEncoded(*f, std::u16string_view(run, static_cast<std::size_t>(p - run)), f->defaultEncoding);
            char16_t text[fast_paths::shortTextBytes];
            const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&replacements.textBytes[i]);
            for (int k = 0; k < replacements.textLengths[i]; ++k) text[k] = bytes[k];
            writeEncoded(*f, std::u16string_view(text, replacements.textLengths[i]), f->defaultEncoding);
        }
        run = p + 1;
    }
}

std::size_t replacingWrite(FileId file, std::u16string_view text, const Replacements& replacements,
                           bool stopping, char16_t stop, std::u16string_view ending) {
    TextFile* f = lookup(file);
    if (f && f->readOnly) f = nullptr;
    const char16_t* const begin = text.data();
    const char16_t* const end = begin + text.size();
    if (f && f->defaultEncoding == TextEncoding::Utf8 && !text.empty()) {
        enterWritingState(*f);
        std::int64_t written = 0;
        return utf8Pass<true>(*f, begin, end, replacements, stopping, stop, ending, written);
    }
    const std::size_t taken = text.empty() ? 0 : replaceByPieces(f, begin, end, replacements, stopping, stop);
    if (taken == text.size() && !ending.empty()) writeString(file, ending);
    return taken;
}

}  // namespace

std::int64_t writeString(FileId file, std::u16string_view text, TextEncoding encoding) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    return writeEncoded(*f, text, encoding);
}

std::int64_t writeString(FileId file, std::u16string_view text) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly || text.empty()) return 0;
    if (f->defaultEncoding == TextEncoding::Utf8 && !f->readingState &&
        storeShortAscii(*f, text.data(), text.size())) {
        return static_cast<std::int64_t>(text.size());
    }
    return writeEncoded(*f, text, f->defaultEncoding);
}

std::int64_t writeStrings(FileId file, std::initializer_list<std::u16string_view> texts) {
    TextFile* f = lookup(file);
    if (!f || f->readOnly) return 0;
    std::int64_t total = 0;
    for (std::u16string_view text : texts) {
        if (text.empty()) continue;
        if (f->defaultEncoding == TextEncoding::Utf8 && !f->readingState &&
            storeShortAscii(*f, text.data(), text.size())) {
            total += static_cast<std::int64_t>(text.size());
            continue;
        }
        total += writeEncoded(*f, text, f->defaultEncoding);
    }
    return total;
}

std::int64_t writeLine(FileId file, std::u16string_view text, TextEncoding encoding) {
    writeString(file, text, encoding);
    return writeString(file, u"\r\n", encoding);
}

void addReplacement(Replacements& replacements, char16_t character, std::string_view text) {
    if (replacements.count == 4 || character >= 0x80 || text.size() > fast_paths::shortTextBytes) return;
    const int i = replacements.count++;
    replacements.characters[i] = character;
    std::memset(replacements.patterns[i], character, sizeof replacements.patterns[i]);
    replacements.textBytes[i] = 0;
    std::memcpy(&replacements.textBytes[i], text.data(), text.size());
    replacements.textLengths[i] = static_cast<unsigned char>(text.size());
}

std::size_t writeReplacing(FileId file, std::u16string_view text, const Replacements& replacements) {
    return replacingWrite(file, text, replacements, false, u'\0', {});
}

std::size_t writeReplacingUntil(FileId file, std::u16string_view text, char16_t stop,
                                const Replacements& replacements, std::u16string_view ending) {
    return replacingWrite(file, text, replacements, true, stop, ending);
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

}  // namespace text_file
