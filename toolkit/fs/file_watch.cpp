// The wait for quiet, the same on every platform: the first change starts a
// settling time that every further change begins anew.
#include "toolkit/fs/file_watch.h"

#include <chrono>

#include "toolkit/fs/file_watch_platform.h"

WatchEvent waitForChanges(int settleMilliseconds, std::vector<bool>& changed) {
    using Clock = std::chrono::steady_clock;
    changed.assign(watchedFileCount(), false);
    bool any = false;
    Clock::time_point settled{};
    for (;;) {
        int timeout = -1;
        if (any) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(settled - Clock::now()).count();
            if (left <= 0) return WatchEvent::Changed;
            timeout = static_cast<int>(left);
        }
        switch (waitForWake(timeout, changed)) {
        case WatchWake::Stop: return WatchEvent::Stopped;
        case WatchWake::Failure: return WatchEvent::Failed;
        case WatchWake::Nothing: break;
        case WatchWake::Change:
            any = true;
            settled = Clock::now() + std::chrono::milliseconds(settleMilliseconds);
            break;
        }
    }
}
