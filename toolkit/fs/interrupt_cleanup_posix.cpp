#include "toolkit/fs/interrupt_cleanup_posix.h"

#include <signal.h>
#include <unistd.h>

#include <climits>
#include <cstring>

namespace {

constexpr int cleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int slotCount = 3;
// Read by the handler: fixed buffers, each set before it is marked in use.
char pending[slotCount][PATH_MAX];
volatile sig_atomic_t inUse[slotCount] = {};
struct sigaction previousActions[3];
bool handlersInstalled = false;

void removePendingAndEnd(int signal) {
    for (int i = 0; i < slotCount; ++i) {
        if (inUse[i]) unlink(pending[i]);
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
