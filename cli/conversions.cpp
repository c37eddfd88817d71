#include "cli/conversions.h"

#include <chrono>
#include <cstdio>

#include "converter/conversion_run.h"
#include "converter/messages.h"
#include "converter/page_lists.h"
#include "cli/cli_options.h"
#include "toolkit/process/console.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_system.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/fs/product_stream.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/report.h"
#include "toolkit/process/standard_streams.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text_file/text_file.h"

JobSettings commonSettings;
bool verboseMessages = false;

namespace {

// What the messages of the running conversion name.
const Conversion* running = nullptr;

// The converter's messages that concern one file name it, with the system's
// reason where the system refused.
void reportNamingTheFile(std::u16string_view message) {
    std::u16string line(message);
    const FailureMessage* known = running ? failureMessageOf(message) : nullptr;
    const MessageField field = known ? known->field : MessageField::Memory;
    if (field == MessageField::Source || field == MessageField::Template || field == MessageField::Product) {
        line += u": ";
        line += field == MessageField::Source    ? running->sourceName
                : field == MessageField::Product ? running->productName
                                                 : job.templatePath;
        const std::u16string reason = known->systemReason ? text_file::lastFailureReason() : std::u16string();
        if (!reason.empty()) line += u" (" + reason + u")";
    }
    reportCliMessage(line);
}

// The page goes to a temporary file beside the product, under the product's
// lock, and takes the product's place only once complete.
bool writeBesideAndReplace(const Conversion& conversion, bool* busy) {
    const std::u16string_view conflict = productConflict(conversion.productPath);
    if (!conflict.empty()) {
        reportError(conflict);
        return false;
    }
    ProductReplacement replacement;
    if (!beginProductReplacement(conversion.productPath, replacement)) {
        // The product itself is held, by a writer that takes no name lock.
        if (busy && productLockBusy(lastSystemError())) *busy = true;
        else reportProductFailure(conversion);
        return false;
    }
    if (!replacement.temporary.empty()) job.productPath = replacement.temporary;
    bool done = writeProduct(true) != 0;
    job.productPath = conversion.productPath;
    if (done && !finishProductReplacement(replacement)) {
        reportProductFailure(conversion);
        done = false;
    }
    if (!done) abandonProductReplacement(replacement);
    if (done && verboseMessages) {
        // What of the product's access the new page lacks.
        for (const std::u16string& lost : replacement.notKept)
            reportCliMessage(conversion.productName + u": not kept: " + lost);
    }
    return done;
}

// True only when the template surely lacks the insertion marker, read
// line by line from `file` as the converter reads it: no line holds it, and
// no browser title could put one into a line with a <title>. In any doubt
// the converter decides.
bool surelyWithoutMarker(FileId file) {
    const std::u16string marker = job.tagStartSymbol + u"..." + job.tagEndSymbol;
    const TextEncoding encoding = text_file::detectEncoding(file);
    std::u16string line;
    bool found = false;
    while (!found && !text_file::atEnd(file)) {
        text_file::readLine(file, line, encoding);
        found = findText(line, marker, 1) != 0 ||
                (!job.browserTitle.empty() && findFolded(line, u"<title>", 0) != std::u16string::npos);
    }
    return !found && !text_file::readFailed(file);
}

// Standard output and a stream keep whatever reaches them, so the template
// and the source are open, and the template known to hold the marker, before
// their first byte: a run that fails on them writes nothing there. The
// converter then opens them again itself.
bool writeThroughStream(const Conversion& conversion) {
    const std::u16string_view conflict = productConflict(job.productPath);
    if (!conflict.empty()) {
        reportError(conflict);
        return false;
    }
    // Under the converter's own number, so that it is read in the same
    // encoding.
    const FileId templateFile = text_file::openRead(job.templatePath, TemplateFile);
    if (templateFile == FileId::none) {
        reportError(u"Cannot read template file");
        return false;
    }
    if (surelyWithoutMarker(templateFile)) {
        text_file::close(templateFile);
        reportError(u"'[...]' not found in template");
        return false;
    }
    const bool sourceIsStream = conversion.fromStandardInput || conversion.fromStream;
    const FileId sourceFile = sourceIsStream ? FileId::none : text_file::openRead(job.sourcePath);
    bool done = false;
    std::intptr_t stream = -1;
    if (!sourceIsStream && sourceFile == FileId::none) {
        reportError(u"Source not found");
    } else if (conversion.toStream && !openProductStream(conversion.productPath, stream)) {
        reportProductFailure(conversion);
    } else {
        if (conversion.toStream) text_file::bindStream(ProductFile, stream);
        done = writeProduct(true) != 0;
        if (conversion.toStream) closeProductStream(stream);
    }
    text_file::close(sourceFile);
    text_file::close(templateFile);
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
    const std::u16string reason = productFailureReason();
    reportCliMessage(u"Cannot make product file: " + conversion.productName + (reason.empty() ? u"" : u" (" + reason + u")"));
}

void reportCliMessage(const std::u16string& message) {
    // The failures of a build that an interrupt is ending are its doing.
    if (guardInterrupted()) return;
    writeStandardError("pagesmith: " + shownText(nativeNameFromText(message)) + "\n");
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

bool convertHoldingTheLock(const Conversion& conversion, bool* busy) {
    if (!inputsReady(conversion)) return false;
    job = commonSettings;
    job.sourcePath = conversion.sourcePath;
    // No path: the converter would open a pipe to compare it with the inputs.
    job.productPath = productMayBeAnInput(conversion) ? conversion.productPath : u"";
    job.templatePath = templatePathOf(job);
    resetConverterState();
    running = &conversion;
    text_file::unbindStandardStreams();
    if (conversion.fromStandardInput || conversion.fromStream)
        text_file::bindStandardStream(SourceFile, StandardStream::Input);
    if (conversion.toStandardOutput) text_file::bindStandardStream(ProductFile, StandardStream::Output);

    const auto started = std::chrono::steady_clock::now();
    const long long pagesBefore = pageTitlesWritten;
    const bool throughStream = conversion.toStandardOutput || conversion.toStream;
    const bool done = throughStream ? writeThroughStream(conversion) : writeBesideAndReplace(conversion, busy);
    const std::int64_t size =
        throughStream ? text_file::boundBytesWritten(ProductFile) : fileSize(conversion.productPath);
    text_file::unbindStandardStreams();
    if (conversion.fromStream) restoreStandardInput();
    running = nullptr;

    if (done && verboseMessages) {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::u16string line = u"wrote " + conversion.productName + u": " +
                              numberToText(pageTitlesWritten - pagesBefore) +
                              (pageTitlesWritten - pagesBefore == 1 ? u" page" : u" pages");
        if (size >= 0) line += u", " + numberToText(size) + u" bytes";
        line += u", " + secondsText(seconds) + u" s";
        reportCliMessage(line);
    }
    return done;
}

}  // namespace

bool runConversion(const Conversion& conversion, bool* busy) {
    if (busy) *busy = false;
    // The first step: a run that another writer holds off reads nothing.
    ProductLock lock;
    if (!conversion.toStandardOutput && !conversion.toStream &&
        !lockProduct(conversion.productPath, ProductLockKind::Writing, lock)) {
        if (busy) *busy = true;
        else reportProductFailure(conversion);
        return false;
    }
    const bool done = convertHoldingTheLock(conversion, busy);
    unlockProduct(lock);
    return done;
}
