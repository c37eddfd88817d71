#include "toolkit/fs/file_kind.h"

#include <windows.h>

#include "toolkit/text/strings.h"
#include "toolkit/text/wide_text_win32.h"

namespace {

// The system's own form of the path: "NUL" and "COM1" become "\\.\NUL" and
// "\\.\COM1", as a pipe's name already is "\\.\pipe\NAME".
std::u16string systemForm(const std::u16string& path) {
    std::u16string full(MAX_PATH, u'\0');
    DWORD length = GetFullPathNameW(wide(path), static_cast<DWORD>(full.size()), wideUnits(full), nullptr);
    if (length >= full.size()) {
        full.assign(length, u'\0');
        length = GetFullPathNameW(wide(path), length, wideUnits(full), nullptr);
    }
    full.resize(length < full.size() ? length : 0);
    return lowerCase(full);
}

bool startsWith(const std::u16string& text, std::u16string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

FileKind fileKind(const std::u16string& path) {
    const std::u16string full = systemForm(path);
    if (startsWith(full, u"\\\\.\\pipe\\")) return FileKind::Pipe;
    if (startsWith(full, u"\\\\.\\")) return FileKind::Device;
    const DWORD attributes = GetFileAttributesW(wide(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) return FileKind::Missing;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory : FileKind::Regular;
}

bool namesAStream(const std::u16string& path) { return startsWith(systemForm(path), u"\\\\.\\pipe\\"); }
