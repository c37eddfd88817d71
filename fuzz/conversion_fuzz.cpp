// A whole conversion from one input: a settings file, a template and a source,
// cut apart at the first two record-separator pairs (1E 1E), all in memory;
// the first byte chooses which of them exist, what the product names, and
// (bit 6) whether the settings are saved after a successful run.
// Whatever they hold: no crash, a product of valid UTF-8, no input changed,
// a product that names an input refused before anything is written, the
// page lists balanced (when no "u" in the input could have spelt a list tag
// of its own), and the settings saved after a successful run beside an
// unchanged product.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "shell/job_settings_io.h"
#include "shell/settings_store.h"
#include "toolkit/process/report.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/backend/text_file_memory.h"

namespace {

const std::u16string settingsPath = u"/m/Pagesmith.ini";
const std::u16string sourcePath = u"/m/notes.txt";
const std::u16string productPath = u"/m/notes.htm";

std::u16string lastMessage;

void keepMessage(std::u16string_view message) { lastMessage.assign(message); }

void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool validUtf8(std::string_view bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        std::size_t length;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if (c >= 0xC2 && c < 0xE0) {
            length = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c < 0xF0) {
            length = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c < 0xF5) {
            length = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + length > bytes.size()) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        static const std::uint32_t smallest[5] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < smallest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

// The lists a page opens less those it closes. Found from each "<" by hand:
// string_view's find of a string goes through memcmp, which libFuzzer
// intercepts and records on every call.
long openLists(std::string_view page) {
    long depth = 0;
    for (std::size_t at = page.find('<'); at != std::string_view::npos; at = page.find('<', at + 1)) {
        const std::string_view rest = page.substr(at + 1);
        if (rest.size() >= 3 && rest[0] == 'u' && rest[1] == 'l' && rest[2] == '>') ++depth;
        if (rest.size() >= 4 && rest[0] == '/' && rest[1] == 'u' && rest[2] == 'l' && rest[3] == '>') --depth;
    }
    return depth;
}

// Viewed where the memory files keep them, until the file next changes.
std::string_view bytesOf(const std::u16string& path) {
    std::string_view bytes;
    return memory_files::get(path, bytes) ? bytes : std::string_view("(none)");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    setErrorSink(keepMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    std::string_view parts[3];
    std::string_view rest = input;
    for (int i = 0; i < 2; ++i) {
        const std::size_t cut = rest.find("\x1E\x1E");
        if (cut == std::string_view::npos) break;
        parts[i] = rest.substr(0, cut);
        rest = rest.substr(cut + 2);
    }
    parts[2] = rest;

    memory_files::clear();
    clearJobSettings();
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
    lastMessage.clear();

    if (flags & 0x08) memory_files::put(settingsPath, parts[0]);
    job.programDirectory = u"/m/";
    job.settingsPath = settingsPath;
    SettingsStore store;
    store.settingsPath = settingsPath;
    load(store);
    readJobSettings(store, job);
    job.sourcePath = sourcePath;
    job.templatePath = templatePathOf(job);
    if (flags & 0x10) memory_files::put(job.templatePath, parts[1]);
    if (flags & 0x20) memory_files::put(sourcePath, parts[2]);

    // 0 to 2: a product of its own; 3 to 5: another name of the source, the
    // template or the settings file; 6: the source's own name; 7: the
    // template's.
    const unsigned choice = flags & 0x07;
    const std::u16string inputs[3] = {sourcePath, job.templatePath, settingsPath};
    job.productPath = productPath;
    if (choice >= 3 && choice <= 5) memory_files::link(productPath, inputs[choice - 3]);
    if (choice >= 6) job.productPath = inputs[choice - 6];
    const bool namesAnInput = choice >= 6 || (choice >= 3 && text_file::exists(inputs[choice - 3]));
    const std::string before[3] = {std::string(bytesOf(inputs[0])), std::string(bytesOf(inputs[1])),
                                   std::string(bytesOf(inputs[2]))};

    const int result = writeProduct();

    std::string_view product;
    const bool made = memory_files::get(job.productPath, product);
    if (namesAnInput) {
        if (result != 0) fail("a product that names an input was written");
        if (lastMessage.rfind(u"Product file must differ from ", 0) != 0) fail("the refusal was not reported");
    } else {
        if (!made) fail("no product");
        if (product.compare(0, 3, "\xEF\xBB\xBF") != 0) fail("the product lacks its mark");
        if (!validUtf8(product)) fail("the product is no valid UTF-8");
        if (input.find('u') == std::string_view::npos &&
            openLists(product) != listDepth) {
            fail("the page lists do not balance");
        }
        // The window program saves the settings after a successful run.
        if (result == 1 && (flags & 0x40)) {
            const std::string written(product);
            writeJobSettings(store, job);
            save(store);
            if (bytesOf(job.productPath) != written) fail("saving the settings changed the product");
        }
    }
    for (int i = 0; i < 2; ++i) {
        if (bytesOf(inputs[i]) != before[i]) fail("an input changed");
    }
    if (result != 1 && bytesOf(settingsPath) != before[2]) fail("the settings changed after a failed run");
    // Let go of the files now rather than at the next run: a run that ends
    // holding more allocations than it freed is run again to look for leaks.
    memory_files::clear();
    return 0;
}
