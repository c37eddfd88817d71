// Lines of UTF-16 and UTF-32, either byte order: UTF-16 units pass
// unchanged, surrogates included; UTF-32 values become UTF-16, with invalid
// values as U+FFFD. A partial unit at the end of the file is dropped and
// ends the line.
#include "toolkit/text_file/text_file.h"

#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/read/line_readers.h"

namespace text_file {

namespace {

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

}  // namespace

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
            if (fast_paths::isLineEnd(value)) {
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
        const bool littleEndian16 = unitSize == 2 && !bigEndian;
        const unsigned char* p = start;
        if (littleEndian16) {
            p = fast_paths::findUnitLineEnd(start, end);
        } else {
            while (p < end && !fast_paths::isLineEnd(unitAt(p, unitSize, bigEndian))) p += unitSize;
        }
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

}  // namespace text_file
