// The converter's entry for the web page's worker (web/engine/worker.js):
// one conversion as the command line runs it for one source, with no
// settings file, between the page's files (toolkit/text_file/backend/
// text_file_web.cpp). The fields come as the user typed them and are read by
// the command line's rules (converter/settings_text.h).
#include <emscripten.h>

#include <string>
#include <string_view>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/messages.h"
#include "converter/page_lists.h"
#include "converter/settings_text.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/backend/text_file_web.h"
#include "toolkit/text_file/text_file.h"

namespace {

// The paths under which the worker registers the page's files.
constexpr std::u16string_view sourcePath = u"/source";
constexpr std::u16string_view templateDirectory = u"/templates/";
constexpr std::u16string_view productPath = u"/product.htm";

// The run's first failure: its id in failureMessages, or the converter's
// own text where the table has none.
std::string failure;

void keepFirstFailure(std::u16string_view message) {
    if (!failure.empty()) return;
    const FailureMessage* known = failureMessageOf(message);
    failure = known ? std::string(known->id) : utf8FromText(message);
}

double refuse(std::string_view id) {
    failure = id;
    return -1;
}

}  // namespace

// Converts the worker's source through the template named `templateName`
// with the fields as typed: `titleRange` and `date` ("" for today) as the
// command line's --title-range and --date take them, `encoding` one of the
// encoding names, for a source without a byte-order mark. Returns the pages
// written, or -1 after a failure that pagesmith_failure names.
extern "C" EMSCRIPTEN_KEEPALIVE double pagesmith_convert(const char* templateName, const char* browserTitle,
                                                         const char* titleRange, int pageSeparator,
                                                         const char* encoding, const char* date) {
    static const bool started = [] {
        platform_file::useBackend(browser_files::backend());
        setErrorSink(keepFirstFailure);
        return true;
    }();
    (void)started;
    failure.clear();

    std::int32_t headerStyles = 0;
    if (!titleRangeFromText(titleRange, headerStyles)) return refuse("titleRangeNotNumber");
    TextEncoding unmarked = TextEncoding::Ansi;
    if (!text_file::encodingNamed(encoding, unmarked)) return refuse("unknownEncoding");
    CalendarDate fixedDay{};
    const std::string_view day(date);
    if (!day.empty() && dayFromText(day, fixedDay) != DayProblem::None) return refuse("dateNotDay");
    setFixedToday(day.empty() ? nullptr : &fixedDay);

    // The command line's settings without a settings file, its options over
    // them, and its fresh converter state.
    clearJobSettings();
    applyDefaultSettings(job);
    job.templateDirectory = templateDirectory;
    job.templateName = textFromUtf8(templateName);
    job.browserTitle = textFromUtf8(browserTitle);
    job.titleRange = headerStyles;
    job.pageSeparator = pageSeparator;
    job.sourcePath = sourcePath;
    job.productPath = productPath;
    job.templatePath = templatePathOf(job);
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
    // The encoding is the export's: a template without a mark is read as the
    // window reads it.
    text_file::setEncodingWithoutMark(TemplateFile, TextEncoding::Ansi);
    text_file::setEncodingWithoutMark(SourceFile, unmarked);

    const long long pagesBefore = pageTitlesWritten;
    if (!writeProduct(true)) return -1;
    return static_cast<double>(pageTitlesWritten - pagesBefore);
}

// The last run's failure: an id of failureMessages, or a text of its own.
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_failure() { return failure.c_str(); }
