#include "converter/source_reader.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "converter/text_check.h"
#include "toolkit/process/report.h"
#include "toolkit/text_file/text_file.h"

namespace {

constexpr std::u16string_view crLf = u"\r\n";
constexpr std::u16string_view breakAndCrLf = u"<br>\r\n";

bool openedAhead = false;

}  // namespace

int openTextSource() {
    openedAhead = text_file::openRead(job.sourcePath, SourceFile) != FileId::none;
    if (!openedAhead) return 1;
    if (looksLikeText(text_file::peekBytes(SourceFile, textCheckBytes), text_file::unmarkedEncoding(SourceFile)))
        return 1;
    closeSourceOpenedAhead();
    reportError(u"Source is not a text file");
    return 0;
}

void closeSourceOpenedAhead() {
    if (openedAhead) text_file::close(SourceFile);
    openedAhead = false;
}

int convertSource() {
    inSource = 1;
    const bool opened = openedAhead;
    openedAhead = false;
    if (!opened && text_file::openRead(job.sourcePath, SourceFile) == FileId::none) {
        reportError(u"Source not found");
        return 0;
    }
    const TextEncoding encoding = text_file::detectEncoding(SourceFile);
    const std::u16string_view startSymbol = job.tagStartSymbol;
    const std::u16string_view endSymbol = job.tagEndSymbol;
    // A line is converted where the reader has it, mostly in the reader's
    // own decoded text; otherwise it is read into the shared line in place,
    // whose capacity carries over, so that a line costs no allocation once
    // the longest one has been seen. The shared line holds the last line at
    // the end, as if every line had been read into it.
    std::u16string_view line;
    bool inShared = true;
    while (!text_file::atEnd(SourceFile)) {
        text_file::readLineView(SourceFile, line, currentLine, encoding);
        if (line.empty()) {
            text_file::writeString(ProductFile, headingWritten == 0 ? breakAndCrLf : crLf);
            inShared = false;
            continue;
        }
        // One character against the whole symbol: with a longer symbol
        // every line gets its line break.
        if (line.substr(0, 1) == startSymbol && line.substr(line.size() - 1) == endSymbol) {
            inShared = convertLine(line);
            text_file::writeString(ProductFile, crLf);
        } else {
            inShared = convertLineAndBreak(line);
        }
    }
    if (!inShared) currentLine.assign(line);
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
