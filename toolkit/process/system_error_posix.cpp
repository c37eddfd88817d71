#include "toolkit/process/system_error.h"

#include <cerrno>
#include <cstring>

#include "toolkit/text/strings.h"

namespace {

// The GNU strerror_r returns its text, which need not be in the buffer; the
// POSIX one (musl, emscripten) returns a status and fills the buffer.
[[maybe_unused]] const char* errorText(const char* text, const char*) { return text ? text : ""; }
[[maybe_unused]] const char* errorText(int status, const char* buffer) { return status == 0 ? buffer : ""; }

}  // namespace

int lastSystemError() { return errno; }

std::u16string systemErrorText(int code) {
    if (code == 0) return std::u16string();
    // Only the no-sharing lock of the text files fails with this code; the
    // system's "Resource temporarily unavailable" would not tell the user why.
    if (code == EWOULDBLOCK) return u"in use by another process";
    char buffer[256] = "";
    return textFromUtf8(errorText(strerror_r(code, buffer, sizeof buffer), buffer));
}
