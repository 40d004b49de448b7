// Causes of failed opens and owners of device nodes on Linux.
#include "platform/DeviceAccess.h"
#include "platform/DeviceReport.h"
#include "platform/posix/AccountNames.h"
#include "platform/posix/PrinterClassSysfs.h"

#include <cerrno>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace zopra::platform {

HostSystem ThisSystem() {
    return HostSystem::Linux;
}

OpenFailure ClassifyOpenError(int code) {
    switch (code) {
    case EACCES:
    case EPERM:
        return OpenFailure::PermissionDenied;
    case EBUSY:
        return OpenFailure::Busy;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return OpenFailure::NotFound;
    default:
        return OpenFailure::Unknown;
    }
}

bool DeviceGone(int code) {
    // EIO: a tty hung up (a USB-serial adapter pulled, a pty whose other side closed);
    // ENODEV, ENXIO: usblp and the USB core after the device went away.
    return code == EIO || code == ENODEV || code == ENXIO;
}

namespace {

// getpwuid_r and getgrgid_r take a buffer that may turn out too small.
template <typename Entry, typename Id, typename Lookup, typename NameOf>
std::string NameOfId(Id id, int sizeHint, Lookup lookup, NameOf nameOf) {
    const long size = ::sysconf(sizeHint);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    for (;;) {
        Entry entry{};
        Entry* found = nullptr;
        const int error = lookup(id, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || nameOf(*found) == nullptr)
            return std::to_string(id); // an id without a name is still worth showing
        return nameOf(*found);
    }
}

} // namespace

std::string UserName(uid_t uid) {
    return NameOfId<passwd>(uid, _SC_GETPW_R_SIZE_MAX, ::getpwuid_r,
                            [](const passwd& entry) { return entry.pw_name; });
}

std::string GroupName(gid_t gid) {
    return NameOfId<group>(gid, _SC_GETGR_R_SIZE_MAX, ::getgrgid_r,
                           [](const group& entry) { return entry.gr_name; });
}

bool IsPersonId(unsigned id) {
    return id >= 1000 && id < 60000;
}

std::string ShownOwner(uid_t uid, uid_t caller) {
    if (!IsPersonId(uid))
        return UserName(uid);
    return uid == caller ? kCallerAccount : kPersonAccount;
}

std::string ShownGroup(gid_t gid, gid_t caller) {
    if (!IsPersonId(gid))
        return GroupName(gid);
    return gid == caller ? kCallerAccount : kPersonAccount;
}

std::string DeviceGroup(const std::string& deviceName) {
    // A printer-class name carries the device's ids after the node ("#vid_7a3c&...").
    const std::string node = DeviceNodeOfPath(deviceName);
    struct stat info {};
    if (node.empty() || ::stat(node.c_str(), &info) != 0)
        return {};
    return GroupName(info.st_gid);
}

} // namespace zopra::platform
