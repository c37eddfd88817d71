#include "converter/source_reader.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "toolkit/report.h"
#include "toolkit/text_file.h"

namespace {

constexpr std::u16string_view crLf = u"\r\n";
constexpr std::u16string_view breakAndCrLf = u"<br>\r\n";

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
        if (line.substr(0, 1) == startSymbol && line.substr(line.size() - 1) == endSymbol) {
            convertLine();
            text_file::writeString(ProductFile, crLf);
        } else {
            convertLineAndBreak();
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
