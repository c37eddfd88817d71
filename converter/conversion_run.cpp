#include "converter/conversion_run.h"

#include <new>

#include "converter/job_settings.h"
#include "converter/source_reader.h"
#include "converter/template_assembly.h"
#include "toolkit/fs/file_identity.h"
#include "toolkit/fs/paths.h"
#include "toolkit/process/report.h"
#include "toolkit/text_file/text_file.h"

std::u16string normalizePath(std::u16string_view path) {
    if (path.empty()) return std::u16string();
    std::u16string expanded;
    if (!expandEnvironment(path, expanded)) return std::u16string(path);
    std::u16string full;
    if (!fullPath(expanded, full)) return expanded;
    return full;
}

std::u16string completeProductPath(std::u16string_view path) {
    std::u16string complete = normalizePath(path);
    if (extensionPart(complete).empty()) complete += u".htm";
    return complete;
}

void resetConverterState() {
    currentLine.clear();
    inSource = 0;
    headingWritten = 0;
    listDepth = 0;
}

std::u16string templatePathOf(const JobSettings& settings) {
    return settings.templateDirectory + settings.templateName + u".tpl.txt";
}

namespace {

// The source and the template are opened as their paths stand, without
// environment references expanded, so only their full form is compared.
std::u16string openedAs(const std::u16string& path) {
    std::u16string full;
    return fullPath(path, full) ? full : path;
}

int assembleInProduct() {
    text_file::writeByteOrderMark(ProductFile, TextEncoding::Utf8);
    // The shipped programs also throw std::bad_alloc for a text longer than
    // a string can hold (shell/lean_runtime_win32.cpp): memory by another
    // name.
    try {
        return assembleProduct();
    } catch (const std::bad_alloc&) {
    }
    // The run ends where memory ran out; the inputs it held are let go.
    text_file::close(TemplateFile);
    text_file::close(SourceFile);
    reportError(u"Not enough memory");
    return 0;
}

}  // namespace

// Creating the product empties it before the inputs are read, so a product
// that is one of them would destroy it. The files themselves are compared,
// so that a link, a linked folder or another spelling of the same file is
// found; a product that does not exist yet is no input. The text of the
// paths decides only when a file cannot be identified.
std::u16string_view productConflict(const std::u16string& productPath) {
    if (productPath.empty()) return {};
    std::u16string productOpenedAs;  // made once, when the text first decides
    const auto productIs = [&](const std::u16string& input) {
        if (input.empty()) return false;
        switch (compareFiles(productPath, input)) {
        case FileMatch::Same: return true;
        case FileMatch::Different: return false;
        case FileMatch::Unknown: break;
        }
        if (productOpenedAs.empty()) productOpenedAs = openedAs(productPath);
        return samePath(productOpenedAs, openedAs(input));
    };
    if (productIs(job.sourcePath) || productIs(job.templatePath)) {
        return u"Product file must differ from source and template";
    }
    if (productIs(job.settingsPath)) return u"Product file must differ from the settings file";
    return {};
}

int writeProduct(bool refuseNonText) {
    const std::u16string_view conflict = productConflict(job.productPath);
    if (!conflict.empty()) {
        reportError(conflict);
        return 0;
    }
    if (refuseNonText && !openTextSource()) return 0;
    if (text_file::create(job.productPath, ProductFile) == FileId::none) {
        closeSourceOpenedAhead();
        reportError(u"Cannot make product file");
        return 0;
    }
    int result = assembleInProduct();
    closeSourceOpenedAhead();
    text_file::flush(ProductFile);
    const bool lostOutput = text_file::writeFailed(ProductFile);
    text_file::close(ProductFile);
    if (lostOutput) {
        reportError(u"Cannot write product file");
        result = 0;
    }
    return result;
}
