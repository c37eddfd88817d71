#include "toolkit/fs/interrupt_cleanup_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/syscall.h>
#endif

#include <climits>
#include <cstring>

namespace {

constexpr int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int slotCount = 4;
// Read by the handler: fixed buffers, each set before it is marked in use.
char pending[slotCount][PATH_MAX];
volatile sig_atomic_t inUse[slotCount] = {};
struct sigaction previousActions[3];
bool handlersInstalled = false;

// Only async-signal-safe calls: the folder is read with getdents64 and
// emptied with unlinkat.
void removeFolder(const char* path) {
#ifdef __linux__
    const int folder = open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    alignas(8) char entries[4096];
    long got;
    while ((got = syscall(SYS_getdents64, folder, entries, sizeof entries)) > 0) {
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const struct dirent64*>(entries + at);
            const char* name = entry->d_name;
            if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))) unlinkat(folder, name, 0);
            at += entry->d_reclen;
        }
    }
    close(folder);
#endif
    rmdir(path);
}

void removePendingAndEnd(int signal) {
    for (int i = 0; i < slotCount; ++i) {
        if (!inUse[i]) continue;
        if (i == static_cast<int>(CleanupSlot::Folder)) removeFolder(pending[i]);
        else unlink(pending[i]);
    }
    ::signal(signal, SIG_DFL);
    raise(signal);
}

}  // namespace

void removeOnInterrupt(CleanupSlot slot, const std::string& path) {
    const int i = static_cast<int>(slot);
    inUse[i] = 0;
    if (path.size() >= sizeof pending[i]) return;
    std::memcpy(pending[i], path.c_str(), path.size() + 1);
    inUse[i] = 1;
    if (handlersInstalled) return;
    struct sigaction action {};
    action.sa_handler = removePendingAndEnd;
    sigemptyset(&action.sa_mask);
    for (int s = 0; s < 3; ++s) {
        sigaction(cleanedSignals[s], nullptr, &previousActions[s]);
        if (previousActions[s].sa_handler == SIG_DFL) sigaction(cleanedSignals[s], &action, nullptr);
    }
    handlersInstalled = true;
}

void keepOnInterrupt(CleanupSlot slot) {
    inUse[static_cast<int>(slot)] = 0;
    for (int i = 0; i < slotCount; ++i) {
        if (inUse[i] || !handlersInstalled) return;
    }
    for (int s = 0; s < 3; ++s) {
        if (previousActions[s].sa_handler == SIG_DFL) sigaction(cleanedSignals[s], &previousActions[s], nullptr);
    }
    handlersInstalled = false;
}
