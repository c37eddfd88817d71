#include "cli/conversions.h"

#include "converter/conversion_run.h"
#include "toolkit/fs/file_kind.h"
#include "toolkit/fs/file_watch.h"
#include "toolkit/fs/paths.h"

namespace {

// Editors and exporters write in several steps; a rebuild waits until the
// writes have been quiet this long.
constexpr int settleMilliseconds = 200;

std::u16string watchedPath(const std::u16string& path) {
    std::u16string full;
    return fullPath(path, full) ? full : path;
}

// A source that is no longer a file (a FIFO put in its place) is reported
// once and skipped until it is a file again: opening it could wait for ever.
void convertIfFile(const Conversion& conversion, std::vector<bool>::reference skipped) {
    if (isPipeOrDevice(conversion.sourcePath)) {
        if (!skipped) reportCliMessage(u"Cannot read source file: " + conversion.sourceName + u" (not a regular file)");
        skipped = true;
        return;
    }
    skipped = false;
    runConversion(conversion);
}

}  // namespace

int watchConversions(const std::vector<Conversion>& conversions) {
    // The template first, then one entry per source.
    job = commonSettings;
    std::vector<std::u16string> paths = {watchedPath(templatePathOf(job))};
    for (const Conversion& conversion : conversions) paths.push_back(watchedPath(conversion.sourcePath));
    // Watching starts before the first conversion, so that no change made
    // while it runs is missed.
    if (!startFileWatch(paths)) {
        reportCliMessage(u"Cannot watch the folders of the sources and the template");
        return 1;
    }
    if (verboseMessages) reportCliMessage(u"watching; Ctrl+C ends");
    std::vector<bool> skipped(conversions.size(), false);
    for (std::size_t i = 0; i < conversions.size(); ++i) convertIfFile(conversions[i], skipped[i]);

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
        for (std::size_t i = 0; i < conversions.size(); ++i) {
            if (changed[0] || changed[i + 1]) convertIfFile(conversions[i], skipped[i]);
        }
    }
    endFileWatch();
    return status;
}
