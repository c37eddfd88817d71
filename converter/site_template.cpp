// The template around a site's page: the same lines the single page has,
// with the page's own browser title and without the notes of other pages.
#include "converter/site_parts.h"

#include <string>

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
void convertTemplateLine(const std::u16string& line, bool keepState) {
    if (!keepState) {
        currentLine = line;
        convertLine();
    } else {
        const SavedState saved;
        inSource = 0;
        pageSplit = nullptr;
        convertLine(std::u16string_view(line));
        saved.restore();
    }
    text_file::writeString(ProductFile, u"\r\n"sv);
}

std::u16string markerText() { return job.tagStartSymbol + u"..." + job.tagEndSymbol; }

}  // namespace

bool writeTemplateHead(const std::u16string* title, bool keepState) {
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
