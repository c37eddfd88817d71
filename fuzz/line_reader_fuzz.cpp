// Any bytes as a text file in memory, read with one line reader from one
// start offset, with the long-line limit and the size of the system reads
// that the input chooses: no line holds a terminator, every line moves the
// position on, and the reading ends exactly at the end of the file. The
// ANSI, UTF-8 and UTF-16LE lines, and the position after each, must be those
// of the plain rules, a byte or a unit at a time, which the block paths stand
// in for. The other readers have no plain rules here: the file is read a
// second time, gathered if the first reading was not, else with a small
// long-line limit and reads of a few bytes each, and both must agree line
// for line: lines measured ahead and decoded in place, and characters that
// straddle refills, must come out as whole lines read at once do. Every fast
// path must also answer as its plain rule does on the file's bytes and on
// the units they make.
//
// Input: a byte that picks the reader (its low three bits, modulo 6), the
// start offset (the next two; at 0 the ANSI reader detects the mark first)
// and whether the long-line limit is small (bit 5), the reads short (bit 6)
// and the lines viewed where the reader holds them (bit 7; the second
// reading takes the other way); a byte that gives the small limit (low nibble) and the short read
// size (high nibble); then the file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/plain_lines.h"
#include "tests/fast_path_pairs.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/backend/text_file_memory.h"

namespace {

const std::u16string scratchPath = u"input.txt";

void fail(const char* what, TextEncoding encoding, std::int64_t at) {
    std::fprintf(stderr, "%s (encoding %d, position %lld)\n", what, static_cast<int>(encoding),
                 static_cast<long long>(at));
    std::abort();
}

bool holdsTerminator(std::u16string_view line) {
    // One comparison a unit for the usual ones: CR, LF and NUL are all below 0x0E.
    for (char16_t c : line) {
        if (c < 0x0E && (c == 0x0D || c == 0x0A || c == 0x00)) return true;
    }
    return false;
}

// The lines of the plain rules and the position after each.
std::vector<std::u16string> plainText;
std::vector<std::int64_t> plainEnds;
std::size_t plainCount = 0;

// The lines of the plain rules, kept in place from run to run so that their
// room costs nothing.
void makePlainLines(const std::string& bytes, std::size_t at, TextEncoding encoding) {
    static std::u16string scratch;
    plainCount = 0;
    forEachPlainLine(bytes, at, encoding, scratch, [](const std::u16string& line, std::int64_t end) {
        if (plainCount == plainText.size()) {
            plainText.emplace_back();
            plainEnds.emplace_back();
        }
        plainText[plainCount].assign(line);
        plainEnds[plainCount++] = end;
    });
}

struct Reading {
    std::uint64_t digest;  // of every line and the position after it
    bool heldToPlainRules;
};

// Reads the file from `start` to its end with this long-line limit and read
// size (0: whole chunks). Each reading seeks to its start on the one open
// file, as a fresh open would stand there.
Reading readEverything(FileId file, const std::string& bytes, std::int64_t start, TextEncoding encoding,
                       std::size_t longLine, int readSize, bool viewed) {
    text_file::setLongLineLimit(longLine);
    memory_files::setReadSize(readSize);
    const std::size_t size = bytes.size();
    text_file::seek(file, start);
    const bool detected = encoding == TextEncoding::Ansi && start == 0;
    if (detected) encoding = text_file::detectEncoding(file);
    const bool plain = hasPlainRules(encoding) && static_cast<std::size_t>(start) <= size;
    if (plain) {
        TextEncoding named;
        makePlainLines(bytes, detected ? afterMark(bytes, named) : static_cast<std::size_t>(start), encoding);
    }
    static std::u16string line;  // its room is kept from run to run
    std::size_t count = 0;
    std::uint64_t digest = 14695981039346656037ull;
    auto mix = [&digest](std::uint64_t value) { digest = (digest ^ value) * 1099511628211ull; };
    std::int64_t before = text_file::position(file);
    while (!text_file::atEnd(file)) {
        std::u16string_view text = line;
        if (viewed ? !text_file::readLineView(file, text, line, encoding) : !text_file::readLine(file, line, encoding)) {
            fail("readLine refused an open file", encoding, before);
        }
        if (!viewed) text = line;
        const std::int64_t after = text_file::position(file);
        if (after <= before) fail("a line did not move the position on", encoding, before);
        if (holdsTerminator(text)) fail("a line holds a terminator", encoding, before);
        if (text.size() > size) fail("a line is longer than the file", encoding, before);
        if (plain) {
            if (count == plainCount || text != plainText[count]) fail("a line differs from the plain rules", encoding, before);
            if (after != plainEnds[count]) fail("a line ends elsewhere than by the plain rules", encoding, before);
        }
        ++count;
        for (char16_t c : text) mix(c);
        mix(static_cast<std::uint64_t>(after) << 20);
        before = after;
    }
    if (before != static_cast<std::int64_t>(size) && !(start > static_cast<std::int64_t>(size))) {
        fail("reading stopped before the end", encoding, before);
    }
    if (plain && count != plainCount) fail("fewer lines than by the plain rules", encoding, start);
    return Reading{digest, plain};
}

const TextEncoding encodings[] = {TextEncoding::Ansi,    TextEncoding::Utf8,    TextEncoding::Utf16LE,
                                  TextEncoding::Utf16BE, TextEncoding::Utf32LE, TextEncoding::Utf32BE};

const std::size_t gatheredWhole = std::size_t(1) << 30;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const TextEncoding encoding = encodings[(data[0] & 0x07) % 6];
    const std::int64_t start = (data[0] >> 3) & 0x03;
    const bool smallLimit = (data[0] >> 5) & 1;
    const bool shortReads = (data[0] >> 6) & 1;
    // Lines viewed where the reader has them, or read into a string.
    const bool viewed = (data[0] >> 7) & 1;
    const std::size_t longLine = 1 + (data[1] & 0x0F);
    // Mostly a few bytes a read, now and then a few hundred.
    const int readSize = 4 + (data[1] >> 4) * (data[1] >> 4);
    static std::string bytes;
    bytes.assign(reinterpret_cast<const char*>(data + 2), size - 2);
    static std::u16string units;
    units.resize(bytes.size() / 2);
    std::memcpy(&units[0], bytes.data(), 2 * units.size());
    if (const char* differs = differingFastPath(data + 2, size - 2, units.data(), units.size())) {
        std::fprintf(stderr, "%s differs from its plain rule\n", differs);
        std::abort();
    }
    memory_files::put(scratchPath, bytes);
    // The file stays open from run to run, and each reading seeks to its
    // start: an open per run would cost a fresh 128 KB of widened text, and
    // the seek leaves the reader as an open does.
    static const FileId file = text_file::openRead(scratchPath, FileId{0});
    if (file == FileId::none) fail("cannot open the input", encoding, 0);

    const Reading chosen = readEverything(file, bytes, start, encoding, smallLimit ? longLine : gatheredWhole,
                                          shortReads ? readSize : 0, viewed);
    if (chosen.heldToPlainRules) return 0;
    const bool gathered = !smallLimit && !shortReads;
    const Reading other = gathered ? readEverything(file, bytes, start, encoding, longLine, readSize, !viewed)
                                   : readEverything(file, bytes, start, encoding, gatheredWhole, 0, !viewed);
    if (other.digest != chosen.digest) fail("a long line reads otherwise than a gathered one", encoding, start);
    return 0;
}
