#include "converter/source_reader.h"

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/page_lists.h"
#include "toolkit/report.h"
#include "toolkit/text_file.h"

int convertSource() {
    inSource = 1;
    if (openRead(job.sourcePath, SourceFile) == FileId::none) {
        reportError(u"Source not found");
        return 0;
    }
    const TextEncoding encoding = detectEncoding(SourceFile);
    const std::u16string_view startSymbol = job.tagStartSymbol;
    const std::u16string_view endSymbol = job.tagEndSymbol;
    while (!atEnd(SourceFile)) {
        // Read into the shared line in place: its capacity carries over, so a
        // line costs no allocation once the longest one has been seen.
        readLine(SourceFile, currentLine, encoding);
        if (currentLine.empty()) {
            if (headingWritten == 0) writeString(ProductFile, u"<br>");
        } else {
            // One character against the whole symbol: with a longer symbol
            // every line gets its line break.
            const std::u16string_view line = currentLine;
            const bool tagLine = line.substr(0, 1) == startSymbol && line.substr(line.size() - 1) == endSymbol;
            if (!tagLine) {
                currentLine += startSymbol;
                currentLine += u"br";
                currentLine += endSymbol;
            }
        }
        convertLine();
        writeString(ProductFile, u"\r\n");
    }
    nestLevel(0);
    close(SourceFile);
    return 1;
}
