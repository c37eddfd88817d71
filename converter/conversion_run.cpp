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

// Creating the product empties it before the template and the source are
// read, so a product that names either of them would lose that file.
bool sameFile(const std::u16string& a, const std::u16string& b) {
    if (a.empty() || b.empty()) return false;
    return samePath(normalizePath(a), normalizePath(b));
}

bool productNamesAnInput() {
    return sameFile(job.productPath, job.sourcePath) || sameFile(job.productPath, job.templatePath);
}

}  // namespace

int writeProduct() {
    if (productNamesAnInput()) {
        reportError(u"Product file must differ from source and template");
        return 0;
    }
    if (create(job.productPath, ProductFile) == FileId::none) {
        reportError(u"Cannot make product file");
        return 0;
    }
    writeByteOrderMark(ProductFile, TextEncoding::Utf8);
    int result = assembleProduct();
    flush(ProductFile);
    const bool lostOutput = writeFailed(ProductFile);
    close(ProductFile);
    if (lostOutput) {
        reportError(u"Cannot write product file");
        result = 0;
    }
    return result;
}
