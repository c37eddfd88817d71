// Lines of a single-byte code page that leaves ASCII as it is, read a
// window of a refill at a time: the window is widened in one pass and its
// CR, LF and NUL bytes are marked in a bitmap on the way (widenAndMark). A
// line is then a look for the next mark and one copy, with no loop that ends
// where the line ends; readLineView gives a line where it lies in the
// widened text.
#include "toolkit/text_file/text_file.h"

#include "toolkit/text_file/fast_paths.h"
#include "toolkit/text_file/read/line_readers.h"

namespace text_file {

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

namespace {

// Bytes of a refill widened at a time (a multiple of 64): a window's bytes
// and text are still in the processor's nearer caches when its lines are
// converted, where a whole refill's text would have been pushed out by the
// rest of it.
constexpr std::int32_t wideWindow = 16384;
static_assert(wideWindow % 64 == 0 && systemChunkSize % wideWindow == 0, "whole words of marks");

// Widens and marks the next window of the last refill; a mark just past the
// window ends every search, and the next window replaces it.
void widenWindow(TextFile& f, const char16_t* table) {
    if (f.wideTextOf != f.refills) {
        if (!f.wideText) makeWideTextRoom(f);
        f.wideTextOf = f.refills;
        f.widened = 0;
    }
    const std::int32_t from = f.widened;
    const std::int32_t to = f.filled - from > wideWindow ? from + wideWindow : f.filled;
    fast_paths::widenAndMark(f.buffer.get() + from, to - from, table, f.wideText.get() + from,
                             f.lineEnds.get() + from / 64);
    f.widened = to;
}

// The first line end at or after `from` among the marks made so far, or
// where they end.
inline std::int32_t nextMark(const TextFile& f, std::int32_t from) {
    return fast_paths::nextMark<fast_paths::nativeWordBytes>(f.lineEnds.get(), from);
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

}  // namespace

// A line that outgrows longLineBytes is left to readLongByteLine, which
// gives the rest its room at once.
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
        fast_paths::appendInSteps<fast_paths::copyStep>(line, f.wideText.get() + from, static_cast<std::size_t>(at - from));
        if (at == f.filled) {
            f.remaining = 0;
            continue;
        }
        f.remaining = f.filled - at - 1;
        return f.buffer[static_cast<std::size_t>(at)];
    }
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

}  // namespace text_file
