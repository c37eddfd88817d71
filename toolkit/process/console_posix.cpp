#include "toolkit/process/console.h"

#include <unistd.h>

#include <cerrno>

namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

}  // namespace

bool writeStandardOutput(std::string_view utf8Text) { return writeAll(STDOUT_FILENO, utf8Text); }
bool writeStandardError(std::string_view utf8Text) { return writeAll(STDERR_FILENO, utf8Text); }
