#include "cli/conversions.h"

#include "converter/conversion_run.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_watch.h"
#include "toolkit/fs/paths.h"
#include "toolkit/fs/product_lock.h"
#include "toolkit/process/system_error.h"

namespace {

// Editors and exporters write in several steps; a rebuild waits until the
// writes have been quiet this long.
constexpr int settleMilliseconds = 200;

std::u16string watchedPath(const std::u16string& path) {
    std::u16string full;
    return fullPath(path, full) ? full : path;
}

struct WatchState {
    bool skipped = false;  // the source is no file now
    bool waiting = false;  // another process holds the product: run again once it lets go
};

// A source that is no longer a file (a FIFO put in its place) is reported
// once and skipped until it is a file again: opening it could wait for ever.
void convertIfFile(const Conversion& conversion, const ConversionRunner& run, WatchState& state) {
    if (isPipeOrDevice(conversion.sourcePath)) {
        if (!state.skipped) reportCliMessage(u"Cannot read source file: " + conversion.sourceName + u" (not a regular file)");
        state.skipped = true;
        return;
    }
    state.skipped = false;
    bool busy = false;
    run(conversion, &busy);
    if (busy && !state.waiting && verboseMessages)
        reportCliMessage(u"waiting: " + conversion.productName + u" is in use by another process");
    state.waiting = busy;
}

// One watcher per product: a second would write over the first at every
// change. Products that two sources of the batch share are taken once.
bool lockWatchedProducts(const std::vector<Conversion>& conversions, std::vector<ProductLock>& locks) {
    for (std::size_t i = 0; i < conversions.size(); ++i) {
        bool taken = false;
        for (std::size_t j = 0; j < i && !taken; ++j) taken = samePath(conversions[i].productPath, conversions[j].productPath);
        if (taken) continue;
        locks.emplace_back();
        if (lockProduct(conversions[i].productPath, ProductLockKind::Watching, locks.back())) continue;
        reportCliMessage(conversions[i].productName + (productLockBusy(lastSystemError())
                                                           ? u": already watched by another process"
                                                           : u": " + systemErrorText(lastSystemError())));
        return false;
    }
    return true;
}

int watchLocked(const std::vector<Conversion>& conversions, const ConversionRunner& run) {
    // The template first, then one entry per source; then, to see another
    // writer let go, each product's lock file and each product.
    job = commonSettings;
    std::vector<std::u16string> paths = {watchedPath(templatePathOf(job))};
    std::vector<std::u16string> releases;
    for (const Conversion& conversion : conversions) {
        paths.push_back(watchedPath(conversion.sourcePath));
        releases.push_back(watchedPath(productLockPath(conversion.productPath, ProductLockKind::Writing)));
        releases.push_back(watchedPath(conversion.productPath));
    }
    // Watching starts before the first conversion, so that no change made
    // while it runs is missed.
    if (!startFileWatch(paths, releases)) {
        reportCliMessage(u"Cannot watch the folders of the sources and the template");
        return 1;
    }
    if (verboseMessages) reportCliMessage(u"watching; Ctrl+C ends");
    std::vector<WatchState> states(conversions.size());
    for (std::size_t i = 0; i < conversions.size(); ++i) convertIfFile(conversions[i], run, states[i]);

    std::vector<bool> changed;
    int status = 0;
    for (;;) {
        const WatchEvent event = waitForChanges(settleMilliseconds, changed);
        if (event == WatchEvent::Stopped) break;
        if (event == WatchEvent::Failed) {
            reportCliMessage(u"Watching the files failed");
            status = 1;
            break;
        }
        const std::size_t sources = conversions.size() + 1;
        for (std::size_t i = 0; i < conversions.size(); ++i) {
            const bool released = changed[sources + 2 * i] || changed[sources + 2 * i + 1];
            if (changed[0] || changed[i + 1] || (states[i].waiting && released))
                convertIfFile(conversions[i], run, states[i]);
        }
    }
    endFileWatch();
    return status;
}

}  // namespace

int watchConversions(const std::vector<Conversion>& conversions, const ConversionRunner& run) {
    std::vector<ProductLock> locks;
    const int status = lockWatchedProducts(conversions, locks) ? watchLocked(conversions, run) : 1;
    for (ProductLock& lock : locks) unlockProduct(lock);
    return status;
}
