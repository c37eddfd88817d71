// The folder's files go into the zip one at a time, each read as it is
// deflated, so nothing is held but one buffer each way and the central
// directory.
#include "cli/site_zip.h"

#include <vector>

#include "cli/conversions.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"

namespace {
constexpr int ZipScan = 2;  // the template list takes 0, the wildcards 1
}  // namespace

bool writeSiteZip(const std::u16string& folder, const std::u16string& zipPath, const std::u16string& zipName,
                  const ZipTime& time) {
    std::vector<std::string> names;
    {
        std::vector<std::u16string> files;
        if (examineDirectory(ZipScan, folder, u"*")) {
            while (nextEntry(ZipScan)) {
                if (entryType(ZipScan) == FileEntry) files.push_back(entryName(ZipScan));
            }
            finishDirectory(ZipScan);
        }
        names = zipEntryNames(files);
    }  // the names once, not twice, beside the central directory
    std::size_t nameBytes = 0;
    for (const std::string& name : names) nameBytes += name.size();
    const auto refuse = [&zipName]() {
        const std::u16string reason = systemErrorText(lastSystemError());
        reportCliMessage(u"Cannot make product file: " + zipName + (reason.empty() ? u"" : u" (" + reason + u")"));
        return false;
    };

    ProductReplacement replacement;
    if (!beginProductReplacement(zipPath, replacement)) return refuse();
    const std::intptr_t out = byte_file::create(replacement.temporary.empty() ? zipPath : replacement.temporary);
    ZipWriter zip([out](const void* bytes, long count) { return byte_file::write(out, bytes, count); }, time);
    zip.reserve(names.size(), nameBytes);
    bool done = out >= 0;
    for (const std::string& name : names) {
        if (!done) break;
        const std::intptr_t in = byte_file::openRead(folder + textFromUtf8(name));
        if (in < 0) {
            done = false;
            break;
        }
        done = zip.add(name, [in](void* bytes, long count) { return byte_file::read(in, bytes, count); });
        byte_file::close(in);
    }
    done = done && zip.finish();
    if (out >= 0) done = byte_file::close(out) && done;
    if (done && !finishProductReplacement(replacement)) done = false;
    if (!done) {
        refuse();
        abandonProductReplacement(replacement);
    }
    return done;
}
