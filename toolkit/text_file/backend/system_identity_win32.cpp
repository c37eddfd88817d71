// What the system says of a path on Windows: whether anything is there,
// and the identity of the file it names: the volume's serial number and the file's
// index on it. The handle asks for no access and shares everything, so a
// file that another program holds open can still be identified, and this
// look does not stand in anybody's way.
#include <windows.h>

#include "toolkit/text_file/text_file_platform.h"
#include "toolkit/text/wide_text_win32.h"

namespace platform_file {

bool identifySystemFile(const std::u16string& path, Identity& identity) {
    if (path.empty()) return false;
    HANDLE h = CreateFileW(wide(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(h, &info) != 0;
    CloseHandle(h);
    if (!known) return false;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

bool systemPathExists(const std::u16string& path) {
    return GetFileAttributesW(wide(path)) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace platform_file
