// The converter's entry for the web page's worker (web/engine/worker.js):
// one conversion as the command line runs it for one source, with no
// settings file, between the page's files (toolkit/text_file/backend/
// text_file_web.cpp).
#include <emscripten.h>

#include <string_view>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/page_lists.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/backend/text_file_web.h"
#include "toolkit/text_file/text_file.h"

// Hands the converter's message to the worker, which sends it to the page.
EM_JS(void, pagesmith_report, (const char* message), { Module.pagesmithOnMessage(UTF8ToString(message)); });

namespace {

// The paths under which the worker registers the page's files.
constexpr std::u16string_view sourcePath = u"/source";
constexpr std::u16string_view templateDirectory = u"/templates/";
constexpr std::u16string_view productPath = u"/product.htm";

void reportToPage(std::u16string_view message) { pagesmith_report(utf8FromText(message).c_str()); }

TextEncoding encodingOf(int number) {
    switch (number) {
    case 1: return TextEncoding::Utf8;
    case 2: return TextEncoding::Utf16LE;
    case 3: return TextEncoding::Utf16BE;
    default: return TextEncoding::Ansi;
    }
}

}  // namespace

// Converts the worker's source through the template named `templateName`
// with these settings: `unmarked` 0 ansi, 1 utf-8, 2 utf-16le, 3 utf-16be;
// a `year` of 0 for today, else the fixed day. Returns the pages written, -1
// after a failure the converter has reported, or -2 when the day does not
// exist.
extern "C" EMSCRIPTEN_KEEPALIVE double pagesmith_convert(const char* templateName, const char* browserTitle,
                                                         int titleRange, int pageSeparator, int unmarked,
                                                         int year, int month, int day) {
    static const bool started = [] {
        platform_file::useBackend(browser_files::backend());
        setErrorSink(reportToPage);
        return true;
    }();
    (void)started;

    CalendarDate fixedDay{};
    if (year != 0 && !makeCalendarDate(year, month, day, fixedDay)) return -2;
    setFixedToday(year != 0 ? &fixedDay : nullptr);

    // The command line's settings without a settings file, its options over
    // them, and its fresh converter state.
    clearJobSettings();
    applyDefaultSettings(job);
    job.templateDirectory = templateDirectory;
    job.templateName = textFromUtf8(templateName);
    job.browserTitle = textFromUtf8(browserTitle);
    job.titleRange = titleRange;
    job.pageSeparator = pageSeparator;
    job.sourcePath = sourcePath;
    job.productPath = productPath;
    job.templatePath = templatePathOf(job);
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
    // The page's choice is the export's; the template without a mark reads
    // as ANSI, as in the window and the command line.
    text_file::setEncodingWithoutMark(SourceFile, encodingOf(unmarked));

    const long long pagesBefore = pageTitlesWritten;
    if (!writeProduct(true)) return -1;
    return static_cast<double>(pageTitlesWritten - pagesBefore);
}
