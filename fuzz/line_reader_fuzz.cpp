// Any bytes as a text file, read with every line reader from several start
// offsets: no line holds a terminator, every line moves the position on, and
// the reading ends exactly at the end of the file. Short inputs are also
// repeated past the buffer size so that characters straddle refills.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "toolkit/strings.h"
#include "toolkit/text_file.h"

namespace {

const std::u16string& scratchPath() {
    static const std::u16string path = textFromUtf8(
        "/tmp/pagesmith-line-reader-fuzz-" + std::to_string(getpid()));
    return path;
}

void fail(const char* what, TextEncoding encoding, std::int64_t at) {
    std::fprintf(stderr, "%s (encoding %d, position %lld)\n", what, static_cast<int>(encoding),
                 static_cast<long long>(at));
    std::abort();
}

bool holdsTerminator(const std::u16string& line) {
    return line.find_first_of(std::u16string_view(u"\r\n\0", 3)) != std::u16string::npos;
}

void readEverything(std::size_t size, std::int64_t start, TextEncoding encoding) {
    FileId file = text_file::openRead(scratchPath(), FileId{0});
    if (file == FileId::none) fail("cannot open the input", encoding, 0);
    text_file::seek(file, start);
    if (encoding == TextEncoding::Ansi && start == 0) {
        encoding = text_file::detectEncoding(file);
    }
    std::u16string line;
    std::int64_t before = text_file::position(file);
    while (!text_file::atEnd(file)) {
        if (!text_file::readLine(file, line, encoding)) fail("readLine refused an open file", encoding, before);
        std::int64_t after = text_file::position(file);
        if (after <= before) fail("a line did not move the position on", encoding, before);
        if (holdsTerminator(line)) fail("a line holds a terminator", encoding, before);
        if (line.size() > size) fail("a line is longer than the file", encoding, before);
        before = after;
    }
    if (before != static_cast<std::int64_t>(size) && !(start > static_cast<std::int64_t>(size))) {
        fail("reading stopped before the end", encoding, before);
    }
    text_file::close(file);
}

void check(const std::string& bytes) {
    std::FILE* out = std::fopen(utf8FromText(scratchPath()).c_str(), "wb");
    if (!out) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fclose(out);
    const TextEncoding encodings[] = {TextEncoding::Ansi,    TextEncoding::Utf8,
                                      TextEncoding::Utf16LE, TextEncoding::Utf16BE,
                                      TextEncoding::Utf32LE, TextEncoding::Utf32BE};
    for (TextEncoding encoding : encodings) {
        for (std::int64_t start = 0; start < 4; ++start) {
            readEverything(bytes.size(), start, encoding);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    check(bytes);
    if (size > 0 && size < 2 * fileBufferSize) {
        std::string repeated;
        while (repeated.size() <= 2 * fileBufferSize + 3) repeated += bytes;
        check(repeated);
    }
    std::remove(utf8FromText(scratchPath()).c_str());
    return 0;
}
