// A site is made in a temporary folder beside its target and takes the
// target's place only once complete, so that a failed run leaves the old
// site file for file. Only a folder that Pagesmith made (its marker file
// inside) is ever replaced. A build holds the target's lock as a page's run
// does, and --watch is the pages' watch with a build as its run.
#include "cli/site.h"

#include "cli/cli_options.h"
#include "cli/conversions.h"
#include "cli/site_zip.h"
#include "converter/conversion_run.h"
#include "converter/job_settings.h"
#include "converter/site_parts.h"
#include "converter/site_writer.h"
#include "toolkit/fs/directory_scan.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_system.h"
#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_file_names.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/fs/site_folder.h"
#include "toolkit/process/report.h"
#include "toolkit/process/system_error.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"
#include "toolkit/text_file/text_file.h"

namespace {

constexpr std::u16string_view markerName = u".pagesmith-site";
constexpr FileId MarkerFile{6};
constexpr int KilledBuildScan = 3;  // the template list takes 0, the wildcards 1, the zip 2

struct Site {
    Conversion conversion;  // its product is the site's folder or zip
    bool zip = false;
    int splitLevel = defaultSplitLevel;
    ZipTime time;
    bool watched = false;
};

std::u16string withSeparator(const std::u16string& folder) {
    return !folder.empty() && (folder.back() == pathSeparator || folder.back() == u'/') ? folder : folder + pathSeparator;
}

std::u16string fileNameOf(const std::u16string& path) { return path.substr(directoryPart(path).size()); }

// A name beside the target, hidden and unique to this process.
std::u16string besideTarget(const std::u16string& target, std::u16string_view role) {
    return directoryPart(target) + u"." + fileNameOf(target) + u".pagesmith-" + std::u16string(role) + u"-" +
           numberToText(static_cast<std::int64_t>(processNumber()));
}

bool madeByPagesmith(const std::u16string& folder) { return text_file::exists(withSeparator(folder) + std::u16string(markerName)); }

// No input may lie in the folder that is replaced: replacing it would
// delete the input.
bool holdsAnInput(const std::u16string& folder) {
    const std::u16string prefix = withSeparator(folder);
    for (const std::u16string* input : {&job.sourcePath, &job.templatePath, &job.settingsPath}) {
        std::u16string full;
        if (input->empty() || !fullPath(*input, full)) continue;
        if (full.size() > prefix.size() && samePath(full.substr(0, prefix.size()), prefix)) return true;
    }
    return false;
}

bool writeMarker(const std::u16string& folder) {
    if (text_file::create(folder + std::u16string(markerName), MarkerFile) == FileId::none) return false;
    text_file::writeString(MarkerFile, u"Pagesmith made this site and replaces it whole on the next build.\n");
    text_file::flush(MarkerFile);
    const bool failed = text_file::writeFailed(MarkerFile);
    text_file::close(MarkerFile);
    return !failed;
}

void reportSystemFailure(const Site& site) { reportProductFailure(site.conversion); }

// Puts the finished folder in the target's place, its files on disk first
// so that a crash leaves the old site or the new one; the old site is
// renamed aside first and removed only once the new one stands.
bool swapIn(const Site& site, const std::u16string& built) {
    const std::u16string& target = site.conversion.productPath;
    if (!syncFolder(built)) return false;
    if (fileKind(target) == FileKind::Missing) return renamePath(built, target);
    const std::u16string old = besideTarget(target, u"old");
    if (!renamePath(target, old)) return false;
    if (!renamePath(built, target)) {
        // The old site goes back; the failed rename's reason is reported.
        renamePath(old, target);
        return false;
    }
    removeFolderTree(old);
    return true;
}

// Sets `job` up for the site as a fresh program would.
void prepareJob(const Site& site) {
    job = commonSettings;
    job.sourcePath = site.conversion.sourcePath;
    job.productPath = site.conversion.productPath;
    job.templatePath = templatePathOf(job);
    resetConverterState();
}

// Why no build may replace the target, for as long as it stays as it is
// ("" when one may): it is an input, holds one, or is a folder of somebody
// else's.
std::u16string lastingRefusal(const Site& site) {
    const std::u16string& target = site.conversion.productPath;
    std::u16string_view conflict = productConflict(target);
    if (conflict.empty() && !site.zip && holdsAnInput(target)) conflict = u"Product file must differ from source and template";
    if (!conflict.empty()) return std::u16string(conflict) + u": " + site.conversion.productName;
    if (!site.zip && fileKind(target) != FileKind::Missing && (!isDirectory(target) || !madeByPagesmith(target)))
        return site.conversion.productName + u" is not a site made by Pagesmith";
    return {};
}

// The hidden folders that builds of this target left when they were killed
// before they could remove them (their process is gone), as a page's run
// removes a killed run's temporary file. Under the target's lock no other
// build of it is under way.
void removeKilledBuilds(const std::u16string& target) {
    const std::u16string folder = directoryPart(target);
    const std::u16string prefix = u"." + fileNameOf(target) + u".pagesmith-new-";
    std::vector<std::u16string> killed;
    if (examineDirectory(KilledBuildScan, folder, prefix + u"*")) {
        while (nextEntry(KilledBuildScan)) {
            const std::u16string name = entryName(KilledBuildScan);
            if (entryType(KilledBuildScan) != DirectoryEntry || name.compare(0, prefix.size(), prefix) != 0) continue;
            const long long process = temporaryFileProcess(std::u16string_view(name).substr(prefix.size()));
            if (process > 0 && !processRunning(static_cast<unsigned long>(process))) killed.push_back(folder + name);
        }
        finishDirectory(KilledBuildScan);
    }
    for (const std::u16string& path : killed) removeFolderTree(path);
}

bool buildHoldingTheLock(const Site& site) {
    prepareJob(site);
    const std::u16string& target = site.conversion.productPath;
    if (isPipeOrDevice(job.templatePath)) {
        reportCliMessage(u"Cannot read template file: " + job.templatePath + u" (not a regular file)");
        return false;
    }
    if (isPipeOrDevice(job.sourcePath)) {
        reportCliMessage(u"Cannot read source file: " + site.conversion.sourceName + u" (not a regular file)");
        return false;
    }
    const std::u16string refusal = lastingRefusal(site);
    if (!refusal.empty()) {
        reportCliMessage(refusal);
        return false;
    }
    removeKilledBuilds(target);
    const std::u16string built = besideTarget(target, u"new");
    if (!makeFolder(built)) {
        reportSystemFailure(site);
        return false;
    }
    // A watch takes the interrupt itself and lets the build end.
    if (!site.watched) guardFolder(built);
    runningConversion(&site.conversion);
    bool done = writeMarker(withSeparator(built)) && writeSite(withSeparator(built), site.splitLevel) != 0;
    runningConversion(nullptr);
    if (done && site.zip) {
        done = writeSiteZip(withSeparator(built), target, site.conversion.productName, site.time);
    } else if (done && !swapIn(site, built)) {
        reportSystemFailure(site);
        done = false;
    }
    if (site.zip || !done) removeFolderTree(built);
    unguardFolder();
    if (done && verboseMessages) reportCliMessage(u"wrote " + site.conversion.productName);
    return done;
}

// Under the lock a single page takes, from the first step: a build that
// another writer holds off reads nothing, and two never swap at once. With
// `busy`, for a watch, a held lock is not reported but said there.
bool buildSite(const Site& site, bool* busy) {
    if (busy) *busy = false;
    ProductLock lock;
    if (!lockProduct(site.conversion.productPath, ProductLockKind::Writing, lock)) {
        if (busy) *busy = true;
        else reportProductFailure(site.conversion);
        return false;
    }
    const bool done = buildHoldingTheLock(site);
    unlockProduct(lock);
    return done;
}

// The pages' watch, with a build of the site as its run; a target that
// no build could replace ends it at once, as a page's does.
int watchSite(const Site& site) {
    prepareJob(site);
    const std::u16string refusal = lastingRefusal(site);
    if (!refusal.empty()) {
        reportCliMessage(refusal);
        return 1;
    }
    return watchConversions({site.conversion},
                            [&site](const Conversion&, bool* busy) { return buildSite(site, busy); });
}

}  // namespace

int runSite(const CliOptions& options, const std::vector<std::u16string>& sources) {
    if (sources.size() != 1 || sources[0] == u"-") return usageError("--site makes one site from one SOURCE file");
    Site site;
    site.splitLevel = options.splitLevel.value_or(defaultSplitLevel);
    site.conversion.sourceName = sources[0];
    site.conversion.sourcePath = normalizePath(sources[0]);
    if (options.output) {
        site.conversion.productName = textFromNativeName(*options.output);
    } else {
        // notes.txt gives notes; a source without an extension gets "-site".
        const std::u16string extension = extensionPart(sources[0]);
        site.conversion.productName = extension.empty() ? sources[0] + u"-site"
                                                        : sources[0].substr(0, sources[0].size() - extension.size() - 1);
    }
    if (site.conversion.productName.empty() || site.conversion.productName == u"-")
        return usageError("--site writes a folder or a zip file, not standard output");
    site.conversion.productPath = normalizePath(site.conversion.productName);
    while (site.conversion.productPath.size() > 1 &&
           (site.conversion.productPath.back() == pathSeparator || site.conversion.productPath.back() == u'/'))
        site.conversion.productPath.pop_back();
    site.zip = sameFolded(extensionPart(site.conversion.productPath), u"zip");
    site.time = zipTimeOf(options.date.value_or(""));
    site.watched = options.watch;
    installCliErrorSink();
    return options.watch ? watchSite(site) : buildSite(site, nullptr) ? 0 : 1;
}
