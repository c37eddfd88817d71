// Any bytes as a text file in memory, read with every line reader from several
// start offsets: no line holds a terminator, every line moves the position
// on, and the reading ends exactly at the end of the file. The ANSI, UTF-8
// and UTF-16LE lines must also be those of the plain rules, a byte or a unit
// at a time, which the block paths stand in for. Each reading is done twice,
// the second time with a small long-line limit and reads of a few bytes
// each: lines measured ahead and decoded in place, and characters that
// straddle refills, must come out as whole lines read at once do.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "toolkit/text_file.h"
#include "toolkit/text_file_memory.h"
#include "toolkit/text_file_platform.h"
#include "toolkit/utf8_coder.h"

namespace {

const std::u16string scratchPath = u"input.txt";

void fail(const char* what, TextEncoding encoding, std::int64_t at) {
    std::fprintf(stderr, "%s (encoding %d, position %lld)\n", what, static_cast<int>(encoding),
                 static_cast<long long>(at));
    std::abort();
}

bool holdsTerminator(const std::u16string& line) {
    return line.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos;
}

// The lines of the plain rules: the encoding's units one at a time up to
// CR, LF or NUL (CR LF is one line end) or the end; a line's bytes decoded
// as a whole.
std::vector<std::u16string> plainLines(const std::string& bytes, std::size_t at, TextEncoding encoding) {
    const std::size_t unit = encoding == TextEncoding::Utf16LE ? 2 : 1;
    auto unitAt = [&](std::size_t i) -> unsigned {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(bytes[k]); };
        return unit == 2 ? b(i) | b(i + 1) << 8 : b(i);
    };
    std::vector<std::u16string> lines;
    while (at < bytes.size()) {
        const std::size_t from = at;
        unsigned terminator = 0xFFFFFFFF;
        while (at + unit <= bytes.size()) {
            const unsigned c = unitAt(at);
            at += unit;
            if (c == 0x0A || c == 0x0D || c == 0x00) {
                terminator = c;
                break;
            }
        }
        const std::size_t end = terminator == 0xFFFFFFFF ? at : at - unit;
        if (terminator == 0xFFFFFFFF) at = bytes.size();  // a partial unit is dropped
        std::u16string line;
        const unsigned char* first = reinterpret_cast<const unsigned char*>(bytes.data()) + from;
        if (encoding == TextEncoding::Ansi) {
            platform_file::appendAnsiAsText(first, end - from, line);
        } else if (encoding == TextEncoding::Utf8) {
            appendUtf8AsText(first, end - from, Utf8DecodeRules{u'?', terminator == 0xFFFFFFFF}, line);
        } else {
            for (std::size_t i = from; i < end; i += 2) line += static_cast<char16_t>(unitAt(i));
        }
        lines.push_back(line);
        if (terminator == 0x0D && at + unit <= bytes.size() && unitAt(at) == 0x0A) at += unit;
    }
    return lines;
}

// Where detectEncoding leaves a file at its start, and what it names.
std::size_t afterMark(const std::string& bytes, TextEncoding& encoding) {
    auto starts = [&](const char* mark, std::size_t length) {
        return bytes.size() >= length && bytes.compare(0, length, mark, length) == 0;
    };
    if (starts("\xFF\xFE\x00\x00", 4)) return encoding = TextEncoding::Utf32LE, 4;
    if (starts("\xFF\xFE", 2)) return encoding = TextEncoding::Utf16LE, 2;
    if (starts("\xEF\xBB\xBF", 3)) return encoding = TextEncoding::Utf8, 3;
    if (starts("\xFE\xFF", 2)) return encoding = TextEncoding::Utf16BE, 2;
    if (starts("\x00\x00\xFE\xFF", 4)) return encoding = TextEncoding::Utf32BE, 4;
    return encoding = TextEncoding::Ansi, 0;
}

// A digest of every line and the position after it: two readings that agree
// line for line give the same one. The first reading is also held to the
// plain rules.
std::uint64_t readEverything(const std::string& bytes, std::int64_t start, TextEncoding encoding,
                             bool againstPlainRules) {
    const std::size_t size = bytes.size();
    FileId file = text_file::openRead(scratchPath, FileId{0});
    if (file == FileId::none) fail("cannot open the input", encoding, 0);
    text_file::seek(file, start);
    const bool detected = encoding == TextEncoding::Ansi && start == 0;
    if (detected) encoding = text_file::detectEncoding(file);
    static std::u16string line;
    std::vector<std::u16string> lines;
    std::uint64_t digest = 14695981039346656037ull;
    auto mix = [&digest](std::uint64_t value) { digest = (digest ^ value) * 1099511628211ull; };
    std::int64_t before = text_file::position(file);
    while (!text_file::atEnd(file)) {
        if (!text_file::readLine(file, line, encoding)) fail("readLine refused an open file", encoding, before);
        lines.push_back(line);
        std::int64_t after = text_file::position(file);
        if (after <= before) fail("a line did not move the position on", encoding, before);
        if (holdsTerminator(line)) fail("a line holds a terminator", encoding, before);
        if (line.size() > size) fail("a line is longer than the file", encoding, before);
        for (char16_t c : line) mix(c);
        mix(static_cast<std::uint64_t>(after) << 20);
        before = after;
    }
    if (before != static_cast<std::int64_t>(size) && !(start > static_cast<std::int64_t>(size))) {
        fail("reading stopped before the end", encoding, before);
    }
    text_file::close(file);
    if (againstPlainRules && (encoding == TextEncoding::Ansi || encoding == TextEncoding::Utf8 ||
                              encoding == TextEncoding::Utf16LE)) {
        TextEncoding named;
        const std::size_t from = detected ? afterMark(bytes, named) : static_cast<std::size_t>(start);
        if (from <= size && lines != plainLines(bytes, from, encoding)) fail("lines differ from the plain rules", encoding, start);
    }
    return digest;
}

void check(const std::string& bytes, std::size_t longLine, int readSize) {
    memory_files::put(scratchPath, bytes);
    const TextEncoding encodings[] = {TextEncoding::Ansi,    TextEncoding::Utf8,
                                      TextEncoding::Utf16LE, TextEncoding::Utf16BE,
                                      TextEncoding::Utf32LE, TextEncoding::Utf32BE};
    for (TextEncoding encoding : encodings) {
        // A byte encoding has no units to fall out of step with.
        const std::int64_t starts = encoding == TextEncoding::Ansi || encoding == TextEncoding::Utf8 ? 2 : 4;
        for (std::int64_t start = 0; start < starts; ++start) {
            text_file::setLongLineLimit(std::size_t(1) << 30);
            memory_files::setReadSize(0);
            const std::uint64_t gathered = readEverything(bytes, start, encoding, true);
            text_file::setLongLineLimit(longLine);
            memory_files::setReadSize(readSize);
            if (readEverything(bytes, start, encoding, false) != gathered) {
                fail("a long line reads otherwise than a gathered one", encoding, start);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t longLine = 1 + (data[0] & 0x0F);
    // Mostly a few bytes a read, now and then a few hundred.
    const int readSize = 4 + (data[0] >> 4) * (data[0] >> 4);
    check(std::string(reinterpret_cast<const char*>(data + 1), size - 1), longLine, readSize);
    return 0;
}
