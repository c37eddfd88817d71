#include "converter/conversion_run.h"

#include "converter/job_settings.h"
#include "converter/template_assembly.h"
#include "toolkit/paths.h"
#include "toolkit/report.h"
#include "toolkit/text_file.h"

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

// Creating the product empties it before the template and the source are
// read, so a product that names either of them would lose that file.
bool productNamesAnInput() {
    if (job.productPath.empty()) return false;
    const std::u16string product = openedAs(job.productPath);
    return (!job.sourcePath.empty() && samePath(product, openedAs(job.sourcePath))) ||
           (!job.templatePath.empty() && samePath(product, openedAs(job.templatePath)));
}

}  // namespace

int writeProduct() {
    if (productNamesAnInput()) {
        reportError(u"Product file must differ from source and template");
        return 0;
    }
    if (text_file::create(job.productPath, ProductFile) == FileId::none) {
        reportError(u"Cannot make product file");
        return 0;
    }
    text_file::writeByteOrderMark(ProductFile, TextEncoding::Utf8);
    int result = assembleProduct();
    text_file::flush(ProductFile);
    const bool lostOutput = text_file::writeFailed(ProductFile);
    text_file::close(ProductFile);
    if (lostOutput) {
        reportError(u"Cannot write product file");
        result = 0;
    }
    return result;
}
