// What the line readers (toolkit/text_file/read/) share and nothing else
// uses: the readers of each kind of encoding and their common steps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "toolkit/text_file/text_file_buffer.h"

namespace text_file {

// Line bytes gathered across refills; reused so that long files cost no
// allocation per line (text_file_read.cpp).
extern std::vector<unsigned char> spill;

// After a CR: a following LF belongs to the same line end; anything else is
// left for the next read.
inline void skipLineFeed(TextFile& f, std::int32_t unitSize, bool bigEndian) {
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

// The value of the unit at `p` in a file of 2- or 4-byte units.
inline std::uint32_t unitAt(const unsigned char* p, std::int32_t unitSize, bool bigEndian) {
    if (unitSize == 2) {
        return bigEndian ? (p[0] << 8 | p[1]) : (p[1] << 8 | p[0]);
    }
    return bigEndian ? (std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3])
                     : (std::uint32_t(p[3]) << 24 | p[2] << 16 | p[1] << 8 | p[0]);
}

// The code page's table when it has one byte per character, and whether it
// leaves ASCII as it is, which lets the reader widen a refill in blocks
// (text_file_read_ansi.cpp).
struct AnsiDecoding {
    const char16_t* table;
    bool asciiUnchanged;
};
const AnsiDecoding& ansiDecoding();

// One line of a single-byte code page that leaves ASCII as it is, appended
// to `line`; returns the terminator, or 0xFF at the end of the file
// (text_file_read_ansi.cpp).
unsigned char readSingleByteLine(TextFile& f, const char16_t* table, std::u16string& line);

// One line of UTF-16 or UTF-32 (text_file_read_units.cpp).
void readUnitLine(TextFile& f, std::u16string& line, std::int32_t unitSize, bool bigEndian);

}  // namespace text_file
