// The template copied into the product: the browser title put in place and
// the converted source at every insertion marker.
#include "converter/template_assembly.h"

#include <string>
#include <utility>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/line_converter.h"
#include "converter/source_reader.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

// Puts the browser title between the line's first "<title>" and the next
// "</title>", keeping both tags as they are spelt.
void replaceTitle(std::u16string& line, const std::u16string& browserTitle) {
    const std::size_t open = findFolded(line, u"<title>", 0);
    if (open == std::u16string_view::npos) return;
    const std::size_t close = findFolded(line, u"</title>", open);
    if (close == std::u16string_view::npos) return;
    const std::size_t titleStart = open + 7;
    line.replace(titleStart, close - titleStart, browserTitle);
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
            // The source reader reuses the shared line, so the marker line
            // moves out of it, whole rather than copied, before the body is
            // written.
            const std::u16string markerLine = std::move(currentLine);
            currentLine.clear();
            const std::u16string_view line = markerLine;
            const std::size_t tailStart = static_cast<std::size_t>(m - 1 + markerLength);
            if (m > 1) text_file::writeString(ProductFile, line.substr(0, static_cast<std::size_t>(m - 1)));
            markerMet = true;
            if (convertSource() == 0) {
                sourceFailed = true;
                break;
            }
            inSource = 0;
            if (tailStart < line.size()) text_file::writeString(ProductFile, line.substr(tailStart));
        }
        // A failed system read is no end of the template.
        const bool readFailed = text_file::readFailed(TemplateFile);
        text_file::close(TemplateFile);
        if (readFailed && !sourceFailed) {
            pendingError = u"Cannot read template file";
        } else if (!markerMet) {
            pendingError = u"'[...]' not found in template";
        }
    }
    if (!pendingError.empty()) {
        reportError(pendingError);
        return 0;
    }
    return sourceFailed ? 0 : 1;
}
