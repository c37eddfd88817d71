#include <algorithm>

#include "cli/conversions.h"
#include "converter/conversion_run.h"
#include "toolkit/fs/file_identity.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/paths.h"

namespace {

std::u16string fullForm(const std::u16string& path) {
    std::u16string full;
    return fullPath(path, full) ? full : path;
}

}  // namespace

bool productMayBeAnInput(const Conversion& conversion) {
    return !conversion.toStandardOutput && !(conversion.toStream && isPipeOrDevice(conversion.productPath));
}

// A batch writes nothing before every product has been checked against
// every input of the batch: a later source written over by an earlier page
// would be lost before its own turn came. The template and the settings file
// are checked as writeProduct checks them, the sources of all the items by
// their identity (by their full path only where a source is not there).
int refuseClashingProducts(std::vector<Conversion>& conversions) {
    std::vector<FileKey> sources;
    std::vector<std::u16string> unidentified;
    for (const Conversion& conversion : conversions) {
        // A pipe is no file a product could overwrite, and opening it to ask
        // would take the writer's one connection.
        if (conversion.sourcePath.empty() || conversion.fromStream) continue;
        FileKey key;
        if (identifyFile(conversion.sourcePath, key)) sources.push_back(key);
        else unidentified.push_back(fullForm(conversion.sourcePath));
    }
    std::sort(sources.begin(), sources.end());

    job = commonSettings;
    job.templatePath = templatePathOf(job);
    int refused = 0;
    for (Conversion& conversion : conversions) {
        if (!productMayBeAnInput(conversion)) continue;
        job.sourcePath = conversion.sourcePath;
        std::u16string_view conflict = productConflict(conversion.productPath);
        FileKey key;
        const bool isSource =
            identifyFile(conversion.productPath, key)
                ? std::binary_search(sources.begin(), sources.end(), key)
                : std::any_of(unidentified.begin(), unidentified.end(), [&](const std::u16string& source) {
                      return samePath(fullForm(conversion.productPath), source);
                  });
        if (conflict.empty() && isSource) conflict = u"Product file must differ from source and template";
        if (conflict.empty()) continue;
        reportCliMessage(std::u16string(conflict) + u": " + conversion.productName);
        conversion.refused = true;
        ++refused;
    }
    return refused;
}

// A watch runs unattended: a product refused now would be refused on every
// change while the watch idles on, so it is refused before the watch starts.
int refuseUnwritableProducts(std::vector<Conversion>& conversions) {
    int refused = 0;
    for (Conversion& conversion : conversions) {
        if (conversion.refused || conversion.toStandardOutput || conversion.toStream ||
            productReplaceable(conversion.productPath))
            continue;
        reportProductFailure(conversion);
        conversion.refused = true;
        ++refused;
    }
    return refused;
}
