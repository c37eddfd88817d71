#include "cli/conversions.h"

#include <chrono>
#include <cstdio>

#include "converter/conversion_run.h"
#include "converter/page_lists.h"
#include "cli/cli_options.h"
#include "toolkit/process/console.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_system.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/report.h"
#include "toolkit/process/standard_streams.h"
#include "toolkit/text/strings.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text_file/text_file.h"

JobSettings commonSettings;
bool verboseMessages = false;

namespace {

// What the messages of the running conversion name.
const Conversion* running = nullptr;

enum class Names { Source, Template, Product };

struct KnownMessage {
    std::u16string_view text;
    Names file;
    bool systemReason;  // the system refused: its reason follows
};

// The converter's messages and the file each one is about.
const KnownMessage knownMessages[] = {
    {u"Source not found", Names::Source, true},
    {u"Cannot read template file", Names::Template, true},
    {u"'[...]' not found in template", Names::Template, false},
    {u"Cannot make product file", Names::Product, true},
    {u"Cannot write product file", Names::Product, true},
    {u"Product file must differ from source and template", Names::Product, false},
    {u"Product file must differ from the settings file", Names::Product, false},
    {u"Cannot read source file", Names::Source, true},
};

void reportNamingTheFile(std::u16string_view message) {
    std::u16string line(message);
    for (const KnownMessage& known : knownMessages) {
        if (!running || known.text != message) continue;
        line += u": ";
        line += known.file == Names::Source    ? running->sourceName
                : known.file == Names::Product ? running->productName
                                               : job.templatePath;
        const std::u16string reason = known.systemReason ? text_file::lastFailureReason() : std::u16string();
        if (!reason.empty()) line += u" (" + reason + u")";
    }
    reportCliMessage(line);
}

void resetConverterState() {
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
}

// The page goes to a temporary file beside the product, under the product's
// lock, and takes the product's place only once complete.
bool writeBesideAndReplace(const Conversion& conversion) {
    const std::u16string_view conflict = productConflict(conversion.productPath);
    if (!conflict.empty()) {
        reportError(conflict);
        return false;
    }
    ProductReplacement replacement;
    if (!beginProductReplacement(conversion.productPath, replacement)) {
        reportProductFailure(conversion);
        return false;
    }
    if (!replacement.temporary.empty()) job.productPath = replacement.temporary;
    bool done = writeProduct() != 0;
    job.productPath = conversion.productPath;
    if (done && !finishProductReplacement(replacement)) {
        reportProductFailure(conversion);
        done = false;
    }
    if (!done) abandonProductReplacement(replacement);
    return done;
}

std::u16string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", seconds);
    return textFromUtf8(text);
}

}  // namespace

void installCliErrorSink() { setErrorSink(reportNamingTheFile); }

void runningConversion(const Conversion* conversion) { running = conversion; }

void reportProductFailure(const Conversion& conversion) {
    const std::u16string reason = systemErrorText(lastSystemError());
    reportCliMessage(u"Cannot make product file: " + conversion.productName + (reason.empty() ? u"" : u" (" + reason + u")"));
}

void reportCliMessage(const std::u16string& message) {
    writeStandardError("pagesmith: " + shownText(utf8FromText(message)) + "\n");
}

namespace {

// What a run needs before its product is made: a template that is a file,
// and a source stream that is there.
bool inputsReady(const Conversion& conversion) {
    const std::u16string templatePath = templatePathOf(commonSettings);
    if (isPipeOrDevice(templatePath)) {
        reportCliMessage(u"Cannot read template file: " + templatePath + u" (not a regular file)");
        return false;
    }
    const auto refuse = [](const std::u16string& message, int reason) {
        reportCliMessage(message + u" (" + systemErrorText(reason) + u")");
        return false;
    };
    if (conversion.fromStandardInput && standardStreamProblem(StandardStream::Input) != 0)
        return refuse(u"Source not found: standard input", standardStreamProblem(StandardStream::Input));
    if (conversion.toStandardOutput && standardStreamProblem(StandardStream::Output) != 0)
        return refuse(u"Cannot make product file: standard output", standardStreamProblem(StandardStream::Output));
    // Waits for the pipe's writer and its first bytes before any product is
    // made, so that an interrupt of the wait leaves nothing behind.
    if (conversion.fromStream && !openAsStandardInput(conversion.sourcePath))
        return refuse(u"Source not found: " + conversion.sourceName, lastSystemError());
    if (conversion.fromStandardInput || conversion.fromStream) waitForStandardInput();
    return true;
}

}  // namespace

bool runConversion(const Conversion& conversion) {
    if (!inputsReady(conversion)) return false;
    job = commonSettings;
    job.sourcePath = conversion.sourcePath;
    job.productPath = conversion.productPath;
    job.templatePath = templatePathOf(job);
    resetConverterState();
    running = &conversion;
    text_file::unbindStandardStreams();
    if (conversion.fromStandardInput || conversion.fromStream)
        text_file::bindStandardStream(SourceFile, StandardStream::Input);
    if (conversion.toStandardOutput) text_file::bindStandardStream(ProductFile, StandardStream::Output);

    const auto started = std::chrono::steady_clock::now();
    const long long pagesBefore = pageTitlesWritten;
    const bool done = conversion.toStandardOutput ? writeProduct() != 0 : writeBesideAndReplace(conversion);
    text_file::unbindStandardStreams();
    if (conversion.fromStream) restoreStandardInput();
    running = nullptr;

    if (done && verboseMessages) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::u16string line = u"wrote " + conversion.productName + u": " +
                              numberToText(pageTitlesWritten - pagesBefore) +
                              (pageTitlesWritten - pagesBefore == 1 ? u" page" : u" pages");
        const std::int64_t size = conversion.toStandardOutput ? -1 : fileSize(conversion.productPath);
        if (size >= 0) line += u", " + numberToText(size) + u" bytes";
        line += u", " + secondsText(seconds) + u" s";
        reportCliMessage(line);
    }
    return done;
}
