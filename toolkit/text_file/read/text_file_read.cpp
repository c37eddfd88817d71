// Line readers for the byte encodings, ANSI and UTF-8, and the entry point
// that picks the reader for an encoding. The single-byte code pages' window
// reader is in text_file_read_ansi.cpp, the UTF-16 and UTF-32 reader in
// text_file_read_units.cpp, lines too long to gather in
// text_file_long_line.cpp; the block scans they use are the text files'
// fast paths (fast_paths.h).
#include "toolkit/text_file/text_file.h"

#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/read/line_readers.h"

namespace text_file {

std::vector<unsigned char> spill;

namespace {

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
        const unsigned char* at = fast_paths::findLineEnd(start, end);
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
    fast_paths::appendUtf8(bytes.bytes, bytes.count, Utf8DecodeRules{u'?', bytes.terminator == 0xFF}, line);
    return bytes.terminator;
}

// Line text is gathered here on its way into the line, a few hundred units
// at a time: appending a filled block copies it once, where growing the line
// first would also clear the room it is about to fill.
constexpr std::size_t blockUnits = 256;

// One UTF-8 line, found and decoded in the same pass: runs of ASCII are
// widened in blocks, and a character beyond ASCII is decoded where it
// stands. Only a character that runs past the bytes read so far leaves the
// rest of the line to readUtf8Rest.
unsigned char readUtf8LineInPlace(TextFile& f, std::u16string& line) {
    if (f.remaining == 0 && !refill(f)) return 0xFF;
    const unsigned char* p = unread(f);
    const unsigned char* const end = p + f.remaining;
    // Room for the two units of one more character and for a whole step
    // past the text; static, so that the slack is always initialised, with
    // no clearing per line.
    static char16_t block[blockUnits + 2 + fast_paths::copySlack];
    for (;;) {
        char16_t* d = block;
        while (d < block + blockUnits) {
            const std::size_t room = static_cast<std::size_t>(block + blockUnits - d);
            const std::size_t available = static_cast<std::size_t>(end - p);
            const std::size_t run = fast_paths::widenPlainRun<true>(p, available < room ? available : room, d);
            p += run;
            d += run;
            if (d == block + blockUnits) break;
            if (p == end) {
                // The line goes on past what was read: the rest the plain way.
                fast_paths::appendInSteps<fast_paths::copyStep>(line, block, static_cast<std::size_t>(d - block));
                f.remaining = 0;
                return readUtf8Rest(f, line);
            }
            if (fast_paths::isLineEnd(*p)) {
                fast_paths::appendInSteps<fast_paths::copyStep>(line, block, static_cast<std::size_t>(d - block));
                f.remaining = static_cast<std::int32_t>(end - p) - 1;
                return *p;
            }
            int units;
            bool cut;
            const std::size_t taken = decodeUtf8Character(p, available - run, u'?', d, units, cut);
            if (cut) {
                fast_paths::appendInSteps<fast_paths::copyStep>(line, block, static_cast<std::size_t>(d - block));
                f.remaining = static_cast<std::int32_t>(end - p);
                return readUtf8Rest(f, line);
            }
            p += taken;
            d += units;
        }
        fast_paths::appendInSteps<fast_paths::copyStep>(line, block, static_cast<std::size_t>(d - block));
    }
}

void readUtf8Line(TextFile& f, std::u16string& line) {
    enterReadingState(f);
    const unsigned char terminator = readUtf8LineInPlace(f, line);
    if (terminator == 0x0D) skipByteLineFeed(f);
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

std::u16string readLine(FileId file, TextEncoding encoding) {
    std::u16string line;
    readLine(file, line, encoding);
    return line;
}

std::u16string readLine(FileId file) { return readLine(file, defaultEncoding(file)); }

}  // namespace text_file
