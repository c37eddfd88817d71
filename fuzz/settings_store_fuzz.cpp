// Any bytes as a settings file in memory: load and save must keep every
// non-empty line (in the form save writes it back), and repeated rounds must
// settle.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "shell/settings_store.h"
#include "toolkit/strings.h"
#include "toolkit/text_file.h"
#include "toolkit/text_file_memory.h"

namespace {

std::string readFile(const std::u16string& path) {
    std::string bytes;
    if (!memory_files::get(path, bytes)) std::abort();
    return bytes;
}

bool isHeader(const std::u16string& line) {
    return firstCharCode(line) == u'[' && findText(line, u"]", 2) > 0;
}

// Every line of the file as the text-file service reads it.
std::vector<std::u16string> fileLines(const std::u16string& path, TextEncoding& encoding) {
    std::vector<std::u16string> lines;
    FileId file = text_file::openRead(path);
    if (file == FileId::none) std::abort();
    encoding = text_file::detectEncoding(file);
    while (!text_file::atEnd(file)) lines.push_back(text_file::readLine(file, encoding));
    text_file::close(file);
    return lines;
}

// What save makes of one trimmed, non-empty line that is no group header.
std::u16string writtenBack(const std::u16string& line) {
    if (firstCharCode(line) == u';') return line;
    if (findText(line, u"=", 2) == 0) return line + u"=";
    int equals = findText(line, u"=", 1);
    return trimTrailingBlanks(leftPart(line, equals - 1)) + u"=" +
           trimLeadingBlanks(midPart(line, equals + 1));
}

void check(bool condition) {
    if (!condition) std::abort();
}

// One load and save of the file at `path`: every non-empty line that is no
// group header comes back as `writtenBack` makes it, in the same order and
// the same encoding. Returns the saved bytes.
std::string loadAndSave(const std::u16string& path) {
    TextEncoding inputEncoding;
    std::vector<std::u16string> expected;
    for (const std::u16string& raw : fileLines(path, inputEncoding)) {
        std::u16string line = trimBlanks(raw);
        if (!line.empty() && !isHeader(line)) expected.push_back(writtenBack(line));
    }

    SettingsStore store;
    store.settingsPath = path;
    check(load(store) == 1);
    check(store.settingsEncoding == inputEncoding);
    check(save(store) == 1);

    // Entry lines are never empty and never look like a header, so what is
    // left after dropping those is exactly the entries, in order.
    TextEncoding savedEncoding;
    std::vector<std::u16string> kept;
    for (const std::u16string& line : fileLines(path, savedEncoding)) {
        if (!line.empty() && !isHeader(line)) kept.push_back(line);
    }
    check(savedEncoding == inputEncoding);
    check(kept == expected);
    return readFile(path);
}

// Loads and saves the file once more; returns the saved bytes.
std::string roundTrip(const std::u16string& path) {
    SettingsStore store;
    store.settingsPath = path;
    check(load(store) == 1 && save(store) == 1);
    return readFile(path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    return 0;
}

// The write-back rules are not idempotent for a stray line such as "=  x":
// it comes back as "=  x=", which the next load reads as a key line with the
// value "x=". So the bytes must settle from the second round on.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string path = u"Pagesmith.ini";
    memory_files::clear();
    memory_files::put(path, std::string(reinterpret_cast<const char*>(data), size));
    loadAndSave(path);
    const std::string second = roundTrip(path);
    check(roundTrip(path) == second);
    return 0;
}
