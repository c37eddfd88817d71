#include "toolkit/process/standard_streams.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "toolkit/text/native_names.h"
#include "toolkit/text/strings.h"

namespace {

int closedAtStart[3] = {0, 0, 0};
int savedInput = -1;  // the process's own standard input while a pipe stands in

}  // namespace

void claimClosedStandardStreams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        closedAtStart[fd] = errno;
        // The lowest free number is taken: this one.
        const int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (null >= 0 && null != fd) close(null);
    }
}

int standardStreamProblem(StandardStream stream) {
    const int fd = stream == StandardStream::Input ? STDIN_FILENO : STDOUT_FILENO;
    if (closedAtStart[fd] != 0) return closedAtStart[fd];
    struct stat info {};
    if (fd == STDIN_FILENO && savedInput < 0 && fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) return EISDIR;
    return 0;
}

bool openAsStandardInput(const std::u16string& path) {
    if (savedInput < 0) savedInput = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
    if (savedInput < 0) return false;
    int fd;
    do {
        fd = open(nativeNameFromText(path).c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    const bool placed = dup2(fd, STDIN_FILENO) >= 0;
    const int reason = errno;
    close(fd);
    errno = reason;
    return placed;
}

void restoreStandardInput() {
    if (savedInput < 0) return;
    dup2(savedInput, STDIN_FILENO);
    close(savedInput);
    savedInput = -1;
}

void waitForStandardInput() {
    pollfd input{STDIN_FILENO, POLLIN, 0};
    while (poll(&input, 1, -1) < 0 && errno == EINTR) {
    }
}
