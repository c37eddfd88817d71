// Any bytes as a settings file in memory. The first byte picks the check:
//
// - keep (low two bits not both set): one load and save must keep every
//   non-empty line (in the form save writes it back), in the same order and
//   the same encoding;
// - settle (both set): repeated rounds of load and save must settle from the
//   second round on. The write-back rules are not idempotent for a stray line
//   such as "=  x": it comes back as "=  x=", which the next load reads as a
//   key line with the value "x=". A round depends on the bytes alone, so
//   once a round gives back its input the rounds have settled.
//
// The rest is the file. Lines in ANSI, UTF-8 and UTF-16LE are split and
// decoded by the plain rules (the line-reader fuzzer holds the reader to
// them); the other encodings are read with the text-file service.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/plain_lines.h"
#include "shell/settings_store.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/backend/text_file_memory.h"

namespace {

const std::u16string path = u"Pagesmith.ini";

void check(bool condition) {
    if (!condition) std::abort();
}

const std::string& readFile() {
    static std::string bytes;
    check(memory_files::get(path, bytes));
    return bytes;
}

bool isHeader(std::u16string_view line) {
    return !line.empty() && line.front() == u'[' && line.find(u']', 1) != std::u16string_view::npos;
}

// Calls `take` with every line of the file in the memory file `bytes`, and
// gives its encoding.
template <typename Take>
TextEncoding forEachLine(const std::string& bytes, Take take) {
    TextEncoding encoding;
    std::size_t at = afterMark(bytes, encoding);
    static std::u16string line;
    if (!hasPlainRules(encoding)) {
        FileId file = text_file::openRead(path);
        check(file != FileId::none);
        check(text_file::detectEncoding(file) == encoding);
        while (!text_file::atEnd(file)) {
            text_file::readLine(file, line, encoding);
            take(line);
        }
        text_file::close(file);
        return encoding;
    }
    forEachPlainLine(bytes, at, encoding, line, [&take](const std::u16string& plain, std::int64_t) { take(plain); });
    return encoding;
}

// What save makes of one trimmed, non-empty line that is no group header: a
// comment as it is; a line without "=" past its first character with "="
// appended; any other line as its key before the first "=" without trailing
// blanks, "=", and its value without leading blanks.
std::u16string writtenBack(std::u16string_view line) {
    if (line.front() == u';') return std::u16string(line);
    if (line.find(u'=', 1) == std::u16string_view::npos) return std::u16string(line) + u"=";
    const std::size_t equals = line.find(u'=');
    std::size_t keyEnd = equals;
    while (keyEnd > 0 && line[keyEnd - 1] == u' ') --keyEnd;
    std::size_t valueStart = equals + 1;
    while (valueStart < line.size() && line[valueStart] == u' ') ++valueStart;
    std::u16string written(line.substr(0, keyEnd));
    written += u'=';
    written += line.substr(valueStart);
    return written;
}

// Loads and saves the file once; returns the saved bytes.
std::string round() {
    SettingsStore store;
    store.settingsPath = path;
    check(load(store) == 1 && save(store) == 1);
    return readFile();
}

// Every non-empty line that is no group header comes back as `writtenBack`
// makes it, in the same order and the same encoding.
void checkKept(const std::string& input) {
    static std::vector<std::u16string> expected;
    expected.clear();
    const TextEncoding inputEncoding = forEachLine(input, [](const std::u16string& raw) {
        std::u16string_view line = raw;
        while (!line.empty() && line.front() == u' ') line.remove_prefix(1);
        while (!line.empty() && line.back() == u' ') line.remove_suffix(1);
        if (!line.empty() && !isHeader(line)) expected.push_back(writtenBack(line));
    });

    SettingsStore store;
    store.settingsPath = path;
    check(load(store) == 1);
    check(store.settingsEncoding == inputEncoding);
    check(save(store) == 1);

    // Entry lines are never empty and never look like a header, so what is
    // left after dropping those is exactly the entries, in order.
    std::size_t kept = 0;
    const TextEncoding savedEncoding = forEachLine(readFile(), [&kept](const std::u16string& line) {
        if (line.empty() || isHeader(line)) return;
        check(kept < expected.size() && line == expected[kept]);
        ++kept;
    });
    check(savedEncoding == inputEncoding);
    check(kept == expected.size());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
    memory_files::put(path, input);
    if ((data[0] & 3) != 3) {
        checkKept(input);
        return 0;
    }
    std::string previous = input;
    for (int rounds = 1;; ++rounds) {
        std::string next = round();
        if (next == previous) return 0;
        check(rounds < 3);  // the third round gives back the second's bytes
        previous = std::move(next);
    }
}
