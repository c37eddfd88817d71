#include "converter/source_reader.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "converter/text_scan.h"
#include "toolkit/report.h"
#include "toolkit/text_file.h"

namespace {

constexpr std::u16string_view crLf = u"\r\n";
constexpr std::u16string_view breakAndCrLf = u"<br>\r\n";

// Whether the line-break tag may be converted apart from the line it ends:
// true when the tag alone gives "<br>" and the line's scan never looks past
// its own end. The tag joins the line otherwise: a start symbol left open
// in the line would take the tag into its own tag text ("a [b" ends in
// "<b[br>"), and a symbol that is "b" or "r" would cut the tag apart.
bool breakStandsApart(std::u16string_view line, std::u16string_view startSymbol,
                      std::u16string_view endSymbol, std::u16string_view levelSymbol) {
    if (startSymbol.size() != 1 || endSymbol.size() != 1 || levelSymbol == u"b") return false;
    const char16_t start = startSymbol[0];
    const char16_t end = endSymbol[0];
    if (start == u'b' || start == u'r' || end == u'b' || end == u'r') return false;
    // The tag walk of the line converter: a start symbol followed by "["
    // stands for itself, any other one reaches to the next end symbol.
    const char16_t* p = line.data();
    const char16_t* const lineEnd = p + line.size();
    for (;;) {
        p = findChar(p, lineEnd, start);
        if (p == lineEnd) return true;
        if (lineEnd - p >= 2 && p[1] == u'[') {
            p += 2;
            continue;
        }
        p = findChar(p + 1, lineEnd, end);
        if (p == lineEnd) return false;
        ++p;
    }
}

}  // namespace

int convertSource() {
    inSource = 1;
    if (text_file::openRead(job.sourcePath, SourceFile) == FileId::none) {
        reportError(u"Source not found");
        return 0;
    }
    const TextEncoding encoding = text_file::detectEncoding(SourceFile);
    const std::u16string_view startSymbol = job.tagStartSymbol;
    const std::u16string_view endSymbol = job.tagEndSymbol;
    while (!text_file::atEnd(SourceFile)) {
        // Read into the shared line in place: its capacity carries over, so a
        // line costs no allocation once the longest one has been seen.
        text_file::readLine(SourceFile, currentLine, encoding);
        if (currentLine.empty()) {
            text_file::writeString(ProductFile, headingWritten == 0 ? breakAndCrLf : crLf);
            continue;
        }
        // One character against the whole symbol: with a longer symbol
        // every line gets its line break.
        const std::u16string_view line = currentLine;
        const bool tagLine = line.substr(0, 1) == startSymbol && line.substr(line.size() - 1) == endSymbol;
        if (tagLine) {
            convertLine();
            text_file::writeString(ProductFile, crLf);
        } else if (breakStandsApart(line, startSymbol, endSymbol, job.levelSymbol)) {
            // What the appended tag would write, and the line end, in one
            // piece; the tag clears the heading flag as every tag does.
            convertLine();
            headingWritten = 0;
            text_file::writeString(ProductFile, breakAndCrLf);
        } else {
            currentLine += startSymbol;
            currentLine += u"br";
            currentLine += endSymbol;
            convertLine();
            text_file::writeString(ProductFile, crLf);
        }
    }
    nestLevel(0);
    // A failed system read ended the loop early: the body lacks its end.
    const bool readFailed = text_file::readFailed(SourceFile);
    text_file::close(SourceFile);
    if (readFailed) {
        reportError(u"Cannot read source file");
        return 0;
    }
    return 1;
}
