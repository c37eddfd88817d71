#include "toolkit/fs/paths.h"

#include <windows.h>

#include <vector>

#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

extern const char16_t pathSeparator = u'\\';

namespace {

constexpr DWORD modulePathCapacity = 260;

}  // namespace

bool expandEnvironment(std::u16string_view path, std::u16string& expanded) {
    std::u16string source(path);
    // The answer names the room it needs (terminator included); a variable can
    // change between two calls, so ask until it fits.
    std::vector<wchar_t> buffer(source.size() + 1 > 260 ? source.size() + 1 : 260);
    for (;;) {
        DWORD needed = ExpandEnvironmentStringsW(wide(source), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()));
        if (needed == 0) return false;
        if (needed <= buffer.size()) {
            expanded = fromWide(buffer.data(), needed - 1);
            return true;
        }
        buffer.resize(needed);
    }
}

bool fullPath(std::u16string_view path, std::u16string& full) {
    std::u16string source(path);
    std::vector<wchar_t> buffer(260);
    for (;;) {
        DWORD length = GetFullPathNameW(wide(source), static_cast<DWORD>(buffer.size()),
                                        buffer.data(), nullptr);
        if (length == 0) return false;
        if (length < buffer.size()) {
            full = fromWide(buffer.data(), length);
            return true;
        }
        buffer.resize(length);  // the answer counts the terminator here
    }
}

bool samePath(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && lowerCase(a) == lowerCase(b);
}

std::u16string programFileName() {
    // A cut path would put the settings file in the wrong folder, so a path
    // longer than the classic 260 characters gets a larger buffer.
    std::vector<wchar_t> buffer(modulePathCapacity);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::u16string();
        if (length < buffer.size()) {
            std::u16string name = fromWide(buffer.data(), length);
            if (name.compare(0, 4, u"\\\\?\\") == 0) name.erase(0, 4);
            return name;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::u16string nextProgramParameter() {
    static int handedOut = 0;
    const wchar_t* line = GetCommandLineW();
    return commandLineParameter(fromWide(line), ++handedOut);
}
