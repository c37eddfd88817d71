#include "converter/template_assembly.h"

#include <string>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/source_reader.h"
#include "toolkit/report.h"
#include "toolkit/strings.h"
#include "toolkit/text_file.h"

namespace {

// Puts the browser title between the line's first "<title>" and the next
// "</title>", keeping both tags as they are spelt.
void replaceTitle(std::u16string& line, const std::u16string& browserTitle) {
    const std::u16string folded = lowerCase(line);
    const int open = findText(folded, u"<title>", 1);
    if (open == 0) return;
    const int close = findText(folded, u"</title>", open);
    if (close == 0) return;
    line = leftPart(line, open + 6) + browserTitle + midPart(line, close);
}

}  // namespace

int assembleProduct() {
    const std::u16string marker = job.tagStartSymbol + u"..." + job.tagEndSymbol;
    const int markerLength = textLength(marker);
    inSource = 0;

    std::u16string_view pendingError;
    bool markerMet = false;
    bool sourceFailed = false;
    if (text_file::openRead(job.templatePath, TemplateFile) == FileId::none) {
        pendingError = u"Cannot read template file";
    } else {
        const TextEncoding encoding = text_file::detectEncoding(TemplateFile);
        while (!text_file::atEnd(TemplateFile)) {
            text_file::readLine(TemplateFile, currentLine, encoding);
            if (!job.browserTitle.empty()) replaceTitle(currentLine, job.browserTitle);
            const int m = findText(currentLine, marker, 1);
            if (m == 0) {
                convertLine();
                text_file::writeString(ProductFile, u"\r\n");
                continue;
            }
            // The source reader reuses the shared line, so the tail is taken
            // out before the body is written.
            const int tailLength = textLength(currentLine) - m - markerLength + 1;
            const std::u16string tail = tailLength > 0 ? rightPart(currentLine, tailLength) : std::u16string();
            if (m > 1) text_file::writeString(ProductFile, std::u16string_view(currentLine).substr(0, static_cast<std::size_t>(m - 1)));
            markerMet = true;
            if (convertSource() == 0) {
                sourceFailed = true;
                break;
            }
            inSource = 0;
            if (!tail.empty()) text_file::writeString(ProductFile, tail);
        }
        text_file::close(TemplateFile);
        if (!markerMet) pendingError = u"'[...]' not found in template";
    }
    if (!pendingError.empty()) {
        reportError(pendingError);
        return 0;
    }
    return sourceFailed ? 0 : 1;
}
