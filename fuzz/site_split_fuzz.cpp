// A site split at a random level, all in memory: the first byte chooses the
// split level (1 to 8) and the page separators, the rest is a template and
// a source cut apart at the first record-separator pair (1E 1E); a template
// with one marker and no browser title. Whatever
// they hold: the files, followed from index.htm along their "next" links,
// are each visited once, and their notes joined are the single page's body,
// between its template head (index.htm's) and tail (the last file's).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/site_writer.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/backend/text_file_memory.h"
#include "toolkit/text_file/text_file.h"

namespace {

const std::u16string folder = u"/m/site/";

void ignore(std::u16string_view) {}

void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

std::string bytesOf(const std::u16string& path) {
    std::string bytes;
    return memory_files::get(path, bytes) ? bytes : std::string();
}

void prepare(unsigned flags, std::string_view templateBytes, std::string_view source) {
    memory_files::clear();
    clearJobSettings();
    applyDefaultSettings(job);
    currentLine.clear();
    inSource = headingWritten = listDepth = 0;
    job.pageSeparator = (flags & 0x08) != 0;
    job.templatePath = u"/m/t.tpl.txt";
    job.sourcePath = u"/m/notes.txt";
    job.productPath = u"/m/single.htm";
    memory_files::put(job.templatePath, templateBytes);
    memory_files::put(job.sourcePath, source);
}

// The notes between the markers of one file.
std::string notesOf(const std::string& page) {
    std::string notes;
    for (std::size_t at = 0; (at = page.find("<!--notes-->", at)) != std::string::npos;) {
        const std::size_t end = page.find("<!--/notes-->", at);
        if (end == std::string::npos) fail("a notes part is not closed");
        notes += page.substr(at + 12, end - at - 12);
        at = end;
    }
    return notes;
}

// The file the last navigation block's "next" link names, or "".
std::string nextOf(const std::string& page) {
    const std::size_t nav = page.rfind("\r\n<nav class=\"pagesmith-site\"");
    if (nav == std::string::npos) fail("a file without navigation");
    const std::size_t rel = page.find("\" rel=\"next\"", nav);
    if (rel == std::string::npos) return "";
    const std::size_t href = page.rfind("<a href=\"", rel);
    return page.substr(href + 9, rel - href - 9);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform_file::useBackend(memory_files::backend());
    setErrorSink(ignore);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned flags = data[0];
    const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::size_t cut = input.find("\x1E\x1E");
    const std::string_view templateBytes = cut == std::string_view::npos ? std::string_view("[...]") : input.substr(0, cut);
    const std::string_view source = cut == std::string_view::npos ? input : input.substr(cut + 2);
    // A template with a second marker holds the notes twice on the single
    // page, once in a site: not comparable.
    const std::size_t marker = templateBytes.find("[...]");
    if (marker == std::string_view::npos || templateBytes.find("[...]", marker + 1) != std::string_view::npos) return 0;
    // A page's browser title is its own, so the last file's tail would differ
    // from the single page's there.
    std::string folded(templateBytes);
    for (char& c : folded) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    if (folded.find("<title>") != std::string::npos) return 0;
    // Tags pass as written, so a title could spell the notes' own markers or
    // the navigation's links, which this check finds by their text.
    if (input.find("notes--") != std::string_view::npos || input.find("rel=") != std::string_view::npos ||
        input.find("<nav") != std::string_view::npos || input.find("</nav") != std::string_view::npos)
        return 0;

    prepare(flags, templateBytes, source);
    if (writeProduct() != 1) return 0;
    const std::string single = bytesOf(job.productPath);

    prepare(flags, templateBytes, source);
    if (writeSite(folder, static_cast<int>(flags & 0x07) + 1) != 1) fail("the site failed where the page did not");
    const std::string index = bytesOf(folder + u"index.htm");
    std::string notes = notesOf(index);
    std::string last = index;
    std::set<std::string> seen;
    for (std::string next = nextOf(index); !next.empty(); next = nextOf(last)) {
        if (!seen.insert(next).second) fail("the next links go round");
        last = bytesOf(folder + textFromUtf8(next));
        if (last.empty()) fail("a next link leads nowhere");
        notes += notesOf(last);
    }
    const std::string head = index.substr(0, index.find("<!--notes-->"));
    const std::string tail = last.substr(last.rfind("</nav>\r\n") + 8);
    if (head + notes + tail != single) fail("the site's notes differ from the single page");
    memory_files::clear();
    return 0;
}
