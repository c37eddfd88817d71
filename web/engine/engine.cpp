// The converter's entry for the web page's worker (web/engine/worker.js):
// one conversion as the command line runs it for one source, with no
// settings file, between the page's files (toolkit/text_file/backend/
// text_file_web.cpp). The fields come as the user typed them and are read by
// the command line's rules (converter/settings_text.h).
#include <emscripten.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/messages.h"
#include "converter/page_lists.h"
#include "converter/settings_text.h"
#include "converter/site_writer.h"
#include "toolkit/dates/date_format.h"
#include "toolkit/process/report.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/backend/text_file_web.h"
#include "toolkit/text_file/text_file.h"
#include "toolkit/text_file/text_file_platform.h"
#include "toolkit/zip/zip_writer.h"

namespace {

// The paths under which the worker registers the page's files.
constexpr std::u16string_view sourcePath = u"/source";
constexpr std::u16string_view templateDirectory = u"/templates/";
constexpr std::u16string_view productPath = u"/product.htm";
constexpr std::u16string_view siteFolder = u"/site/";
constexpr std::u16string_view zipPath = u"/product.zip";

// The run's first failure: its id in failureMessages, or the converter's
// own text where the table has none.
std::string failure;

void keepFirstFailure(std::u16string_view message) {
    if (!failure.empty()) return;
    const FailureMessage* known = failureMessageOf(message);
    failure = known ? std::string(known->id) : utf8FromText(message);
}

bool refuse(std::string_view id) {
    failure = id;
    return false;
}

// The run's settings as the command line takes them: the fields as typed,
// `titleRange` and `date` ("" for today) as --title-range and --date take
// them, `encoding` one of the encoding names, for a source without a
// byte-order mark. False after a refusal that pagesmith_failure names.
bool startRun(const char* templateName, const char* browserTitle, const char* titleRange, int pageSeparator,
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
    resetConverterState();
    // The encoding is the export's: a template without a mark is read as the
    // window reads it.
    text_file::setEncodingWithoutMark(TemplateFile, TextEncoding::Ansi);
    text_file::setEncodingWithoutMark(SourceFile, unmarked);
    return true;
}

// A made file that the worker deflated (worker_deflaters.js): its CRC-32
// and its size before deflating, -1 for a file it did not deflate. Reading
// the file then gives its deflated bytes.
EM_JS(double, pagesmith_deflated_crc, (const char* path), {
    const entry = Module.pagesmithFiles[Module.pagesmithFiles.places.get(UTF8ToString(path))];
    return entry && entry.crc !== undefined ? entry.crc : -1;
});

EM_JS(double, pagesmith_deflated_size, (const char* path), {
    const entry = Module.pagesmithFiles[Module.pagesmithFiles.places.get(UTF8ToString(path))];
    return entry && entry.rawSize !== undefined ? entry.rawSize : -1;
});

// The site's files, in the command line's zip order, into the zip.
bool zipSite(const ZipTime& time) {
    platform_file::Handle out = 0;
    if (!platform_file::open(std::u16string(zipPath), platform_file::OpenMode::Create, out)) return false;
    ZipWriter zip([out](const void* bytes, long count) {
        return platform_file::write(out, bytes, static_cast<std::int32_t>(count)) == count;
    }, time);
    // The names are all the module's memory holds of the site: the list of
    // the files made goes once they are known.
    const std::vector<std::string> names = zipEntryNames(browser_files::madeFilesIn(std::u16string(siteFolder)));
    browser_files::forgetMadeFiles();
    std::size_t nameBytes = 0;
    for (const std::string& name : names) nameBytes += name.size();
    zip.reserve(names.size(), nameBytes);
    bool done = true;
    for (const std::string& name : names) {
        const std::u16string path = std::u16string(siteFolder) + textFromUtf8(name);
        const std::string utf8 = utf8FromText(path);
        const double crc = pagesmith_deflated_crc(utf8.c_str());
        const double size = pagesmith_deflated_size(utf8.c_str());
        platform_file::Handle in = 0;
        done = crc >= 0 && size >= 0 && platform_file::open(path, platform_file::OpenMode::ReadOnly, in);
        if (!done) break;
        done = zip.addDeflated(name, static_cast<std::uint32_t>(crc), static_cast<unsigned long>(size),
                               [in](void* bytes, long count) { return platform_file::read(in, bytes, static_cast<std::int32_t>(count)); });
        platform_file::close(in);
        browser_files::letGoOf(path);
        if (!done) break;
    }
    done = done && zip.finish();
    platform_file::close(out);
    return done;
}

}  // namespace

// Converts the worker's source through the template named `templateName`
// with the fields as startRun takes them. Returns the pages written, or -1
// after a failure that pagesmith_failure names.
extern "C" EMSCRIPTEN_KEEPALIVE double pagesmith_convert(const char* templateName, const char* browserTitle,
                                                         const char* titleRange, int pageSeparator,
                                                         const char* encoding, const char* date) {
    if (!startRun(templateName, browserTitle, titleRange, pageSeparator, encoding, date)) return -1;
    const long long pagesBefore = pageTitlesWritten;
    if (!writeProduct(true)) return -1;
    return static_cast<double>(pageTitlesWritten - pagesBefore);
}

// The same conversion as a site, split at the levels 1 to `splitLevel`, its
// files made in the worker, which deflates them for pagesmith_zip_site.
// Returns the pages written, or -1 after a failure that pagesmith_failure
// names.
extern "C" EMSCRIPTEN_KEEPALIVE double pagesmith_site(const char* templateName, const char* browserTitle,
                                                      const char* titleRange, int pageSeparator, const char* encoding,
                                                      const char* date, int splitLevel) {
    if (!startRun(templateName, browserTitle, titleRange, pageSeparator, encoding, date)) return -1;
    browser_files::forgetMadeFiles();
    const long long pagesBefore = pageTitlesWritten;
    if (writeSite(std::u16string(siteFolder), splitLevel) == 0) {
        browser_files::forgetMadeFiles();
        return -1;
    }
    return static_cast<double>(pageTitlesWritten - pagesBefore);
}

// The files pagesmith_site made, deflated by the worker, into one zip,
// entries at the time of `date` (as pagesmith_site took it) or now, as the
// command line's --site with -o NAME.zip. 1, or 0 after a failure that
// pagesmith_failure names.
extern "C" EMSCRIPTEN_KEEPALIVE int pagesmith_zip_site(const char* date) {
    const bool zipped = zipSite(zipTimeOf(date));
    browser_files::forgetMadeFiles();
    if (!zipped) keepFirstFailure(u"Cannot write product file");
    return zipped ? 1 : 0;
}

// The last run's failure: an id of failureMessages, or a text of its own.
extern "C" EMSCRIPTEN_KEEPALIVE const char* pagesmith_failure() { return failure.c_str(); }
