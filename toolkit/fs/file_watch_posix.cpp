// Linux: inotify on the folders, and SIGINT and SIGTERM taken through a
// signalfd while they are blocked, so that a conversion in progress is never
// cut short: the interrupt is seen at the next wait.
#include "toolkit/fs/file_watch.h"
#include "toolkit/fs/file_watch_platform.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "toolkit/fs/paths.h"
#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace {

struct WatchedFile {
    int folder;        // inotify watch descriptor of its folder
    std::string name;  // file name in the folder
    std::uint32_t mask;
};

int notifyFd = -1;
int signalFd = -1;
sigset_t previousMask;
bool interruptsBlocked = false;
std::vector<WatchedFile> watched;

constexpr std::uint32_t changeMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_MODIFY | IN_ATTRIB;
// A lock's holder removes its file, or, killed, only closes it. (Not a
// close without writing: every reader of a product would wake the watch.)
constexpr std::uint32_t releaseMask = changeMask | IN_DELETE | IN_MOVED_FROM;

// Reads what inotify has; true when a watched file changed.
bool takeEvents(std::vector<bool>& changed) {
    alignas(inotify_event) char buffer[16384];
    bool any = false;
    for (;;) {
        const ssize_t got = read(notifyFd, buffer, sizeof buffer);
        if (got <= 0) return any;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            const bool overflow = (event->mask & IN_Q_OVERFLOW) != 0;
            if (!overflow && ((event->mask & releaseMask) == 0 || event->len == 0)) continue;
            const std::string name = overflow ? std::string() : std::string(event->name);
            for (std::size_t i = 0; i < watched.size(); ++i) {
                if (overflow || (watched[i].folder == event->wd && watched[i].name == name &&
                                 (event->mask & watched[i].mask) != 0)) {
                    changed[i] = true;
                    any = true;
                }
            }
        }
    }
}

}  // namespace

bool startFileWatch(const std::vector<std::u16string>& paths, const std::vector<std::u16string>& releases) {
    endFileWatch();
    notifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (notifyFd < 0) return false;
    // One mask per folder: a folder watched again keeps what it had.
    const std::uint32_t folderMask = releases.empty() ? changeMask : releaseMask;
    for (std::size_t i = 0; i < paths.size() + releases.size(); ++i) {
        const std::u16string& path = i < paths.size() ? paths[i] : releases[i - paths.size()];
        std::string folder = nativeNameFromText(directoryPart(path));
        const std::string name = nativeNameFromText(path).substr(folder.size());
        if (folder.empty()) folder = ".";
        const int wd = inotify_add_watch(notifyFd, folder.c_str(), folderMask);
        if (wd < 0) {
            endFileWatch();
            return false;
        }
        watched.push_back(WatchedFile{wd, name, i < paths.size() ? changeMask : releaseMask});
    }
    sigset_t interrupts;
    sigemptyset(&interrupts);
    sigaddset(&interrupts, SIGINT);
    sigaddset(&interrupts, SIGTERM);
    sigprocmask(SIG_BLOCK, &interrupts, &previousMask);
    interruptsBlocked = true;
    signalFd = signalfd(-1, &interrupts, SFD_NONBLOCK | SFD_CLOEXEC);
    if (signalFd < 0) {
        endFileWatch();
        return false;
    }
    return true;
}

std::size_t watchedFileCount() { return watched.size(); }

WatchWake waitForWake(int timeoutMilliseconds, std::vector<bool>& changed) {
    if (notifyFd < 0 || signalFd < 0) return WatchWake::Failure;
    pollfd fds[2] = {{signalFd, POLLIN, 0}, {notifyFd, POLLIN, 0}};
    if (poll(fds, 2, timeoutMilliseconds) < 0) return errno == EINTR ? WatchWake::Nothing : WatchWake::Failure;
    if (fds[0].revents & POLLIN) {
        signalfd_siginfo info;
        while (read(signalFd, &info, sizeof info) > 0) {
        }
        return WatchWake::Stop;
    }
    return (fds[1].revents & POLLIN) && takeEvents(changed) ? WatchWake::Change : WatchWake::Nothing;
}

void endFileWatch() {
    if (signalFd >= 0) close(signalFd);
    signalFd = -1;
    if (interruptsBlocked) sigprocmask(SIG_SETMASK, &previousMask, nullptr);
    interruptsBlocked = false;
    if (notifyFd >= 0) close(notifyFd);
    notifyFd = -1;
    watched.clear();
}
