// The template around a site's page: the same lines the single page has,
// with the page's own browser title and without the notes of other pages.
#include "converter/site_parts.h"

#include <string>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "toolkit/text/strings.h"

using namespace std::literals;

namespace {

// The converter's program-wide state, kept across a page's template.
struct SavedState {
    int inSource = ::inSource;
    int headingWritten = ::headingWritten;
    int listDepth = ::listDepth;
    long long titles = pageTitlesWritten;
    PageSplit* split = pageSplit;
    void restore() const {
        ::inSource = inSource;
        ::headingWritten = headingWritten;
        ::listDepth = listDepth;
        pageTitlesWritten = titles;
        pageSplit = split;
    }
};

// "PAGE – TITLE FOR BROWSER", the template's own title standing in for an
// empty one; the single page's rule for index.htm (`title` empty).
void putTitle(std::u16string& line, const std::u16string* title) {
    if (title == nullptr && job.browserTitle.empty()) return;
    const std::size_t open = findFolded(line, u"<title>", 0);
    if (open == std::u16string::npos) return;
    const std::size_t close = findFolded(line, u"</title>", open);
    if (close == std::u16string::npos) return;
    const std::size_t start = open + 7;
    std::u16string text;
    const std::u16string browserTitle = job.browserTitle.empty() ? line.substr(start, close - start) : job.browserTitle;
    if (title == nullptr || title->empty()) {
        text = browserTitle;
    } else {
        text = *title + u" \u2013 " + browserTitle;
    }
    line.replace(start, close - start, text);
}

// Template lines are converted outside the notes, as the single page
// converts them; `keepState` undoes what they do to the state.
void convertTemplateLine(std::u16string_view line, bool keepState) {
    if (!keepState) {
        currentLine = line;
        convertLine();
    } else {
        const SavedState saved;
        inSource = 0;
        pageSplit = nullptr;
        convertLine(line);
        saved.restore();
    }
    text_file::writeString(ProductFile, u"\r\n"sv);
}

std::u16string markerText() { return job.tagStartSymbol + u"..." + job.tagEndSymbol; }

// The pages' template, read once per site. A line without a tag, a marker
// or the browser title converts to itself outside the notes (no entities
// there), so a run of such lines is kept as the bytes it gives, line ends
// included; any other line is kept as read and goes the usual way on every
// page. A template past the bound is read again for every page instead.
constexpr std::size_t keptTemplateLimit = 256 * 1024;
// A run stays below the text files' buffer (as UTF-8), which a longer write
// would send to the system at once: a page then goes out in one write.
constexpr std::size_t plainRunLimit = fileBufferSize / 4;

struct KeptLine {
    enum Kind { Plain, Title, Other } kind = Other;
    std::u16string text;
    int marker = 0;  // findText's answer for the line as read
};

struct KeptTemplate {
    bool tried = false;
    bool kept = false;
    std::vector<KeptLine> lines;
    std::u16string scratch;  // a title line with the page's title in it
};
KeptTemplate keptTemplate;

bool holdsTitle(const std::u16string& line) {
    const std::size_t open = findFolded(line, u"<title>", 0);
    return open != std::u16string::npos && findFolded(line, u"</title>", open) != std::u16string::npos;
}

void readKeptTemplate() {
    KeptTemplate& t = keptTemplate;
    t.tried = true;
    if (text_file::openRead(job.templatePath, SiteTemplateFile) == FileId::none) return;
    const std::u16string marker = markerText();
    const std::u16string_view start = job.tagStartSymbol;
    const TextEncoding encoding = text_file::detectEncoding(SiteTemplateFile);
    std::u16string line;
    std::size_t size = 0;
    bool fits = true;
    while (fits && !text_file::atEnd(SiteTemplateFile)) {
        text_file::readLine(SiteTemplateFile, line, encoding);
        size += line.size() + 2;
        fits = size <= keptTemplateLimit;
        const bool title = holdsTitle(line);
        const int m = title ? 0 : findText(line, marker, 1);
        const bool plain = !title && m == 0 && (start.empty() || line.find(start) == std::u16string::npos);
        if (plain && !t.lines.empty() && t.lines.back().kind == KeptLine::Plain &&
            t.lines.back().text.size() + line.size() + 2 <= plainRunLimit) {
            t.lines.back().text.append(line).append(u"\r\n");
        } else if (plain) {
            t.lines.push_back({KeptLine::Plain, line + u"\r\n", 0});
        } else {
            t.lines.push_back({title ? KeptLine::Title : KeptLine::Other, line, m});
        }
    }
    const bool readFailed = text_file::readFailed(SiteTemplateFile);
    text_file::close(SiteTemplateFile);
    t.kept = fits && !readFailed;
    if (!t.kept) std::vector<KeptLine>().swap(t.lines);
}

bool usesKeptTemplate(bool keepState) {
    if (!keepState) return false;
    if (!keptTemplate.tried) readKeptTemplate();
    return keptTemplate.kept;
}

// A kept line other than a plain run as the page has it: the line and
// where its marker is.
std::u16string_view pageLine(const KeptLine& kept, const std::u16string* title, int& m) {
    if (kept.kind != KeptLine::Title) {
        m = kept.marker;
        return kept.text;
    }
    std::u16string& line = keptTemplate.scratch;
    line = kept.text;
    putTitle(line, title);
    m = findText(line, markerText(), 1);
    return line;
}

bool writeKeptHead(const std::u16string* title) {
    for (const KeptLine& kept : keptTemplate.lines) {
        if (kept.kind == KeptLine::Plain) {
            text_file::writeString(ProductFile, kept.text);
            continue;
        }
        int m = 0;
        const std::u16string_view line = pageLine(kept, title, m);
        if (m == 0) {
            convertTemplateLine(line, true);
            continue;
        }
        if (m > 1) text_file::writeString(ProductFile, line.substr(0, static_cast<std::size_t>(m - 1)));
        return true;
    }
    return false;
}

void writeKeptTail(const std::u16string* title) {
    const std::size_t markerLength = markerText().size();
    bool markerMet = false;
    for (const KeptLine& kept : keptTemplate.lines) {
        if (kept.kind == KeptLine::Plain) {
            if (markerMet) text_file::writeString(ProductFile, kept.text);
            continue;
        }
        int m = 0;
        const std::u16string_view line = pageLine(kept, title, m);
        if (m == 0) {
            if (markerMet) convertTemplateLine(line, true);
            continue;
        }
        if (markerMet && m > 1) text_file::writeString(ProductFile, line.substr(0, static_cast<std::size_t>(m - 1)));
        const std::size_t tailStart = static_cast<std::size_t>(m - 1) + markerLength;
        if (tailStart < line.size()) text_file::writeString(ProductFile, line.substr(tailStart));
        markerMet = true;
    }
}

}  // namespace

void forgetTemplateLines() { keptTemplate = KeptTemplate{}; }

bool writeTemplateHead(const std::u16string* title, bool keepState) {
    if (usesKeptTemplate(keepState)) return writeKeptHead(title);
    if (text_file::openRead(job.templatePath, SiteTemplateFile) == FileId::none) return false;
    const std::u16string marker = markerText();
    const TextEncoding encoding = text_file::detectEncoding(SiteTemplateFile);
    std::u16string line;
    bool markerMet = false;
    while (!markerMet && !text_file::atEnd(SiteTemplateFile)) {
        text_file::readLine(SiteTemplateFile, line, encoding);
        putTitle(line, title);
        const int m = findText(line, marker, 1);
        if (m == 0) {
            convertTemplateLine(line, keepState);
            continue;
        }
        if (m > 1) text_file::writeString(ProductFile, std::u16string_view(line).substr(0, static_cast<std::size_t>(m - 1)));
        markerMet = true;
    }
    const bool readFailed = text_file::readFailed(SiteTemplateFile);
    text_file::close(SiteTemplateFile);
    if (!keepState) {
        // The single page moves the marker line out of the shared line.
        currentLine.clear();
        inSource = 0;
    }
    return markerMet && !readFailed;
}

void writeTemplateTail(const std::u16string* title, bool keepState) {
    if (usesKeptTemplate(keepState)) {
        writeKeptTail(title);
        return;
    }
    if (text_file::openRead(job.templatePath, SiteTemplateFile) == FileId::none) return;
    const std::u16string marker = markerText();
    const std::size_t markerLength = marker.size();
    const TextEncoding encoding = text_file::detectEncoding(SiteTemplateFile);
    std::u16string line;
    bool markerMet = false;
    while (!text_file::atEnd(SiteTemplateFile)) {
        text_file::readLine(SiteTemplateFile, line, encoding);
        putTitle(line, title);
        const int m = findText(line, marker, 1);
        if (m == 0) {
            if (markerMet) convertTemplateLine(line, keepState);
            continue;
        }
        // The text around a marker goes out as it stands, as in the single
        // page; the notes belong to the first marker only.
        const std::u16string_view view = line;
        if (markerMet && m > 1) text_file::writeString(ProductFile, view.substr(0, static_cast<std::size_t>(m - 1)));
        const std::size_t tailStart = static_cast<std::size_t>(m - 1) + markerLength;
        if (tailStart < view.size()) text_file::writeString(ProductFile, view.substr(tailStart));
        markerMet = true;
    }
    text_file::close(SiteTemplateFile);
}
