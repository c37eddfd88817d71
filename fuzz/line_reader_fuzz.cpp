// Any bytes as a text file in memory, read with every line reader from several
// start offsets: no line holds a terminator, every line moves the position
// on, and the reading ends exactly at the end of the file. Each reading is
// done twice, the second time with a small long-line limit and reads of a few
// bytes each: lines measured ahead and decoded in place, and characters that
// straddle refills, must come out as whole lines read at once do.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "toolkit/text_file.h"
#include "toolkit/text_file_memory.h"

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

// A digest of every line and the position after it: two readings that agree
// line for line give the same one.
std::uint64_t readEverything(std::size_t size, std::int64_t start, TextEncoding encoding) {
    FileId file = text_file::openRead(scratchPath, FileId{0});
    if (file == FileId::none) fail("cannot open the input", encoding, 0);
    text_file::seek(file, start);
    if (encoding == TextEncoding::Ansi && start == 0) {
        encoding = text_file::detectEncoding(file);
    }
    static std::u16string line;
    std::uint64_t digest = 14695981039346656037ull;
    auto mix = [&digest](std::uint64_t value) { digest = (digest ^ value) * 1099511628211ull; };
    std::int64_t before = text_file::position(file);
    while (!text_file::atEnd(file)) {
        if (!text_file::readLine(file, line, encoding)) fail("readLine refused an open file", encoding, before);
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
            const std::uint64_t gathered = readEverything(bytes.size(), start, encoding);
            text_file::setLongLineLimit(longLine);
            memory_files::setReadSize(readSize);
            if (readEverything(bytes.size(), start, encoding) != gathered) {
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
