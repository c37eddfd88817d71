// Lines too long to gather whole. The line readers collect a line's bytes
// and grow its text step by step; for a line of hundreds of megabytes that
// would cost the bytes once more and a text twice its size while it moves.
// Such a line is measured first instead: the file is read ahead to the
// line's end and then goes back, the text gets its room once, at its final
// size, and the bytes are decoded straight from the file buffer into it. A
// file that cannot go back (a pipe) grows the text as before.
#include <new>

#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/read/line_readers.h"

namespace text_file {

std::size_t longLineBytes = std::size_t(1) << 18;

void setLongLineLimit(std::size_t bytes) { longLineBytes = bytes > 0 ? bytes : 1; }

namespace {

// The bytes from the current position to the line's terminator or the end
// of the file; the position is back where it was afterwards. -1 when the
// file cannot tell its position or go back to it.
std::int64_t measureRestOfLine(TextFile& f, std::int32_t unitSize, bool bigEndian) {
    if (unitSize == 1 && f.remaining > 0) {
        // The line may end within what was read ahead already.
        const unsigned char* p = unread(f);
        const unsigned char* at = fast_paths::findLineEnd(p, p + f.remaining);
        if (at != p + f.remaining) return at - p;
    }
    const std::int64_t start = logicalPosition(f);
    if (start < 0) return -1;
    std::int64_t count = 0;
    unsigned char unit[4];
    std::int32_t have = 0;  // bytes of a unit split between two chunks
    bool found = false;
    while (!found && (f.remaining > 0 || refill(f))) {
        const unsigned char* p = unread(f);
        const unsigned char* const end = p + f.remaining;
        f.remaining = 0;
        if (unitSize == 1) {
            const unsigned char* at = fast_paths::findLineEnd(p, end);
            count += at - p;
            found = at != end;
            continue;
        }
        while (p < end && !found) {
            if (have > 0 || end - p < unitSize) {
                while (have < unitSize && p < end) unit[have++] = *p++;
                if (have < unitSize) break;
                have = 0;
                found = fast_paths::isLineEnd(unitAt(unit, unitSize, bigEndian));
            } else {
                found = fast_paths::isLineEnd(unitAt(p, unitSize, bigEndian));
                p += unitSize;
            }
            if (!found) count += unitSize;
        }
    }
    seekTo(f, start);
    return logicalPosition(f) == start ? count : -1;
}

// Room for `units` more code units behind what `line` holds, made at once.
void makeRoom(std::u16string& line, std::size_t units) {
    const std::size_t needed = line.size() + units + longLineSlack;
    if (line.capacity() >= needed) return;
    // Longer than a string can be (a 32-bit program's limit is a little
    // over a billion units): memory runs out, as the caller sees it.
    if (needed > line.max_size()) throw std::bad_alloc();
    // A fresh string takes exactly what it is asked for; growing the old one
    // might double it. An empty line lets go of its old room first.
    if (line.empty()) std::u16string().swap(line);
    std::u16string room;
    room.reserve(needed);
    room.assign(line);
    line.swap(room);
}

// Where the bytes before `end` may be cut so that decoding each side alone
// gives what decoding them together would. UTF-8: before a sequence that the
// bytes after `end` would complete; every other byte breaks a sequence, so a
// lead byte or a byte past a complete sequence is a safe cut. A multi-byte
// ANSI code page: after the last byte below 0x40, which is never part of a
// double-byte character.
const unsigned char* safeCut(TextEncoding encoding, const unsigned char* start,
                             const unsigned char* end) {
    if (encoding == TextEncoding::Utf8) {
        for (const unsigned char* q = end; q > start && end - q < 3;) {
            const unsigned c = *--q;
            if (c < 0xC0 || c >= 0xF8) continue;
            const std::ptrdiff_t length = c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            if (end - q < length) return q;
        }
        return end;
    }
    if (platform_file::ansiDecodeTable()) return end;
    for (const unsigned char* q = end; q > start; --q) {
        if (q[-1] < 0x40) return q;
    }
    return end;
}

void decode(TextEncoding encoding, const unsigned char* bytes, std::size_t count, bool atFileEnd,
            std::u16string& line) {
    if (count == 0) return;
    if (encoding == TextEncoding::Utf8) {
        fast_paths::appendUtf8(bytes, count, Utf8DecodeRules{u'?', atFileEnd}, line);
    } else {
        platform_file::appendAnsiAsText(bytes, count, line);
    }
}

}  // namespace

unsigned char readLongByteLine(TextFile& f, std::vector<unsigned char>& head, TextEncoding encoding,
                               std::u16string& line) {
    // The head's last bytes may begin a character that the file completes:
    // they go back to the file.
    const unsigned char* headEnd = head.data() + head.size();
    const unsigned char* cut = safeCut(encoding, head.data(), headEnd);
    pushBack(f, static_cast<std::int32_t>(headEnd - cut));
    head.resize(static_cast<std::size_t>(cut - head.data()));

    // No byte gives more than one code unit.
    const std::int64_t rest = measureRestOfLine(f, 1, false);
    if (rest >= 0) makeRoom(line, head.size() + static_cast<std::size_t>(rest));
    decode(encoding, head.data(), head.size(), false, line);

    for (;;) {
        const unsigned char* start = unread(f);
        const unsigned char* end = start + f.remaining;
        const unsigned char* at = fast_paths::findLineEnd(start, end);
        if (at != end) {
            decode(encoding, start, static_cast<std::size_t>(at - start), false, line);
            f.remaining -= static_cast<std::int32_t>(at - start) + 1;
            return *at;
        }
        cut = safeCut(encoding, start, end);
        decode(encoding, start, static_cast<std::size_t>(cut - start), false, line);
        f.remaining = static_cast<std::int32_t>(end - cut);
        if (!refillKeeping(f)) {
            // The end of the file ends the line with what is left.
            decode(encoding, unread(f), static_cast<std::size_t>(f.remaining), true, line);
            f.remaining = 0;
            return 0xFF;
        }
    }
}

void makeRoomForRest(TextFile& f, std::u16string& line, std::int32_t unitSize, bool bigEndian) {
    const std::int64_t rest = measureRestOfLine(f, unitSize, bigEndian);
    // A UTF-16 unit stays one code unit; a UTF-32 value becomes at most two.
    if (rest >= 0) makeRoom(line, static_cast<std::size_t>(rest / 2));
}

}  // namespace text_file
