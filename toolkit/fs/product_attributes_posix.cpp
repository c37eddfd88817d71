// The extended attributes are read and written through the descriptors, so
// that a rename of either file meanwhile changes nothing. A product with an
// access ACL shows the ACL's mask as its group bits; the ACL is what keeps
// the owning group to less, and the named users and groups to what they had.
#include "toolkit/fs/product_attributes_posix.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>

#include "toolkit/process/system_error.h"
#include "toolkit/text/strings.h"

namespace {

constexpr char aclName[] = "system.posix_acl_access";

// The names of a file's extended attributes; false with errno.
bool attributeNames(int fd, std::vector<std::string>& names) {
    std::string list;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = flistxattr(fd, nullptr, 0);
        if (size < 0) return false;
        list.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size == 0 ? 0 : flistxattr(fd, &list[0], list.size());
        if (got >= 0) {
            list.resize(static_cast<std::size_t>(got));
            break;
        }
        if (errno != ERANGE || attempt == 3) return false;  // ERANGE: it grew meanwhile
    }
    names.clear();
    for (std::size_t at = 0; at < list.size();) {
        const std::size_t end = std::min(list.find('\0', at), list.size());
        if (end > at) names.push_back(list.substr(at, end - at));
        at = end + 1;
    }
    return true;
}

bool attributeValue(int fd, const char* name, std::string& value) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = fgetxattr(fd, name, nullptr, 0);
        if (size < 0) return false;
        value.assign(static_cast<std::size_t>(size), '\0');
        const ssize_t got = size == 0 ? 0 : fgetxattr(fd, name, &value[0], value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    return false;
}

// The access the ACL gives the owning group, as permission bits (rwx), in
// Linux's stored form: a 4-byte version, then 8-byte entries of a 2-byte tag,
// 2-byte permissions and a 4-byte id, little-endian. Nothing when unknown,
// so that a narrowing falls back to no access.
unsigned ownerGroupAccess(const std::string& acl) {
    const auto at = [&acl](std::size_t i) {
        return static_cast<unsigned>(static_cast<unsigned char>(acl[i]));
    };
    constexpr unsigned groupObject = 0x04, mask = 0x10;
    unsigned group = 0, masked = 07;
    for (std::size_t entry = 4; entry + 8 <= acl.size(); entry += 8) {
        const unsigned tag = at(entry) | at(entry + 1) << 8;
        const unsigned permissions = (at(entry + 2) | at(entry + 3) << 8) & 07;
        if (tag == groupObject) group = permissions;
        if (tag == mask) masked = permissions;
    }
    return group & masked;
}

std::u16string notKeptText(const std::string& name, int reason) {
    return textFromUtf8(name) + u" (" + systemErrorText(reason) + u")";
}

// `mode` with the group bits `group` (rwx), and the note that says so.
mode_t narrowed(mode_t mode, unsigned group, std::u16string& note) {
    const mode_t result = (mode & ~static_cast<mode_t>(070)) | static_cast<mode_t>(group << 3);
    char octal[16];
    std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(result & 07777));
    note += u"; mode narrowed to " + textFromUtf8(octal);
    return result;
}

}  // namespace

mode_t carryProductAttributes(int product, int temporary, mode_t mode,
                              std::vector<std::u16string>& notKept) {
    std::vector<std::string> names;
    if (!attributeNames(product, names)) {
        // A filesystem without extended attributes has none to keep. Any
        // other failure may hide an ACL: the group bits may be its mask.
        if (errno == ENOTSUP) return mode;
        notKept.push_back(notKeptText("extended attributes", errno));
        return narrowed(mode, 0, notKept.back());
    }
    // The folder's default ACL may have given the new file one the product
    // does not have.
    std::vector<std::string> inherited;
    if (attributeNames(temporary, inherited)) {
        for (const std::string& name : inherited) {
            if (std::find(names.begin(), names.end(), name) == names.end())
                fremovexattr(temporary, name.c_str());
        }
    }
    mode_t kept = mode;
    for (const std::string& name : names) {
        std::string value;
        const bool read = attributeValue(product, name.c_str(), value);
        if (read && fsetxattr(temporary, name.c_str(), value.data(), value.size(), 0) == 0)
            continue;
        notKept.push_back(notKeptText(name, errno));
        if (name != aclName) continue;
        kept = narrowed(mode, read ? ownerGroupAccess(value) : 0, notKept.back());
    }
    return kept;
}
