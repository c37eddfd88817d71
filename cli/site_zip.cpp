// The folder's files go into the zip one at a time, each read as it is
// deflated. The zip's order is its names' byte order; a site of 70,000
// files would hold megabytes of names to sort them all at once, so the
// folder is read once to count its names by their first bytes and again
// for each batch of those prefixes, which is sorted and zipped before the
// next. The central directory waits in a file beside the site's.
#include "cli/site_zip.h"

#include <algorithm>
#include <map>
#include <vector>

#include "cli/conversions.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/product_file.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"

namespace {

constexpr int ZipScan = 2;  // the template list takes 0, the wildcards 1
constexpr std::size_t prefixBytes = 3;
constexpr std::size_t batchNames = 16384;

std::string prefixOf(const std::string& name) { return name.substr(0, prefixBytes); }

// Calls `take` with the zip name of each of the folder's files; false when
// the folder cannot be read.
template <typename Take>
bool eachName(const std::u16string& folder, Take take) {
    if (!examineDirectory(ZipScan, folder, u"*")) return false;
    while (nextEntry(ZipScan)) {
        if (entryType(ZipScan) != FileEntry) continue;
        std::string name = zipEntryName(entryName(ZipScan));
        if (!name.empty()) take(std::move(name));
    }
    finishDirectory(ZipScan);
    return true;
}

}  // namespace

bool writeSiteZip(const std::u16string& folder, const std::u16string& zipPath, const std::u16string& zipName,
                  const ZipTime& time) {
    const auto refuse = [&zipName]() {
        const std::u16string reason = systemErrorText(lastSystemError());
        reportCliMessage(u"Cannot make product file: " + zipName + (reason.empty() ? u"" : u" (" + reason + u")"));
        return false;
    };
    // How many names each prefix has.
    std::map<std::string, std::size_t> counts;
    if (!eachName(folder, [&counts](std::string name) { ++counts[prefixOf(name)]; })) return refuse();
    std::vector<std::string> names;

    ProductReplacement replacement;
    if (!beginProductReplacement(zipPath, replacement)) return refuse();
    const std::intptr_t out = byte_file::create(replacement.temporary.empty() ? zipPath : replacement.temporary);
    ZipWriter zip([out](const void* bytes, long count) { return byte_file::write(out, bytes, count); }, time);
    // The waiting central directory, inside the site's own folder, which goes when the zip is made.
    const std::u16string centralPath = folder + u".central.tmp";
    std::intptr_t central = byte_file::create(centralPath);
    std::intptr_t centralBack = -1;
    zip.spillCentral([&central](const void* bytes, long count) { return central >= 0 && byte_file::write(central, bytes, count); },
                     [&](void* bytes, long count) -> long {
                         if (centralBack < 0) {
                             if (central < 0 || !byte_file::close(central)) return -1;
                             central = -1;
                             centralBack = byte_file::openRead(centralPath);
                             if (centralBack < 0) return -1;
                         }
                         return byte_file::read(centralBack, bytes, count);
                     });
    bool done = out >= 0;
    for (auto batch = counts.begin(); done && batch != counts.end();) {
        // Prefixes in order until the batch holds enough names; at least one.
        auto last = batch;
        for (std::size_t held = last->second; std::next(last) != counts.end() && held + std::next(last)->second <= batchNames;) {
            held += (++last)->second;
        }
        names.clear();
        done = eachName(folder, [&](std::string name) {
            const std::string prefix = prefixOf(name);
            if (prefix >= batch->first && prefix <= last->first) names.push_back(std::move(name));
        });
        std::sort(names.begin(), names.end());
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
        batch = std::next(last);
    }
    done = done && zip.finish();
    if (central >= 0) byte_file::close(central);
    if (centralBack >= 0) byte_file::close(centralBack);
    if (out >= 0) done = byte_file::close(out) && done;
    if (done && !finishProductReplacement(replacement)) done = false;
    if (!done) {
        refuse();
        abandonProductReplacement(replacement);
    }
    return done;
}
