#include "engine/file_attributes.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <sys/xattr.h>

namespace {

constexpr std::string_view accessAcl = "system.posix_acl_access";

bool unsupported(int error) { return error == ENOTSUP || error == EOPNOTSUPP; }

// An attribute that cannot be set or removed for one of these reasons is left as it is:
// the file system has none, or the process may not touch it.
bool mayBeLeft(int error) { return unsupported(error) || error == EPERM || error == EACCES; }

// The names of fd's extended attributes, each ending in a zero byte; false (with errno)
// on a failure other than a file system without them, which has none.
bool listNames(int fd, std::string& names) {
    char small[256];
    ssize_t got = ::flistxattr(fd, small, sizeof small);
    // Too long for small: sized and read again, as often as the list grows meanwhile.
    while (got < 0 && errno == ERANGE) {
        const ssize_t size = ::flistxattr(fd, nullptr, 0);
        if (size < 0) break;
        names.resize(static_cast<size_t>(size));
        got = ::flistxattr(fd, names.data(), names.size());
        if (got >= 0) {
            names.resize(static_cast<size_t>(got));
            return true;
        }
    }
    if (got < 0) {
        names.clear();
        return unsupported(errno);
    }
    names.assign(small, static_cast<size_t>(got));
    return true;
}

// Calls each with every name of a list that listNames gave; stops at the first false.
template <typename Each>
bool forEachName(std::string_view names, Each each) {
    while (!names.empty()) {
        const size_t end = names.find('\0');
        const std::string_view name = names.substr(0, end);
        if (!name.empty() && !each(name)) return false;
        if (end == std::string_view::npos) break;
        names.remove_prefix(end + 1);
    }
    return true;
}

bool holds(std::string_view names, std::string_view name) {
    return !forEachName(names, [&](std::string_view other) { return other != name; });
}

// The value of the attribute name of fd; false (with errno) when it cannot be read.
bool readValue(int fd, const char* name, std::string& value) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0) return false;
        value.resize(static_cast<size_t>(size));
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<size_t>(got));
            return true;
        }
        if (errno != ERANGE) return false;
    }
}

unsigned littleEndian(const char* bytes, int count) {
    unsigned value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

// The group bits (as in a mode: 070) that an access ACL, in the form the kernel gives it,
// grants the owning group's own entry; none when the value does not read as an ACL. The
// form: a 32-bit version (2), then 8-byte entries of a 16-bit tag, 16-bit permissions and
// a 32-bit id, all little-endian.
mode_t owningGroupBits(std::string_view acl) {
    constexpr unsigned version = 2;
    constexpr unsigned owningGroupTag = 0x04;
    if (acl.size() < 4 || (acl.size() - 4) % 8 != 0 || littleEndian(acl.data(), 4) != version) return 0;
    for (size_t at = 4; at < acl.size(); at += 8)
        if (littleEndian(acl.data() + at, 2) == owningGroupTag)
            return static_cast<mode_t>((littleEndian(acl.data() + at + 2, 2) & 07) << 3);
    return 0;
}

}  // namespace

bool carryAttributes(int from, int to, const struct stat& fromInfo, const struct stat* toInfo) {
    std::string fromNames;
    std::string toNames;
    if ((from >= 0 && !listNames(from, fromNames)) || !listNames(to, toNames)) return false;
    mode_t mode = fromInfo.st_mode & 07777;
    bool changed = false;

    // What the new file has and the original has not came with it, from its folder.
    std::string name;
    const bool removed = forEachName(toNames, [&](std::string_view each) {
        if (holds(fromNames, each)) return true;
        name.assign(each);
        if (::fremovexattr(to, name.c_str()) == 0) {
            changed = true;
            return true;
        }
        return errno == ENODATA || (each != accessAcl && mayBeLeft(errno));
    });
    if (!removed) return false;

    std::string value;
    const bool carried = forEachName(fromNames, [&](std::string_view each) {
        name.assign(each);
        if (!readValue(from, name.c_str(), value)) return errno == ENODATA;  // gone meanwhile
        if (::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0) {
            changed = true;
            return true;
        }
        if (each != accessAcl) return mayBeLeft(errno);
        // The ACL cannot be carried: none at all, and the owning group's own bits only.
        if (::fremovexattr(to, name.c_str()) != 0 && errno != ENODATA && !unsupported(errno)) return false;
        changed = true;
        mode = (mode & ~static_cast<mode_t>(070)) | (mode & owningGroupBits(value));
        return true;
    });
    if (!carried) return false;

    // Last: setting an ACL set the mode bits from its entries, and the mode sets its mask.
    if (!changed && toInfo != nullptr && (toInfo->st_mode & 07777) == mode) return true;
    return ::fchmod(to, mode) == 0;
}
