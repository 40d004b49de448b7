// Causes of failed opens and owners of device nodes on Linux.
#include "platform/DeviceAccess.h"
#include "platform/posix/PrinterClassSysfs.h"

#include <cerrno>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace zopra::platform {

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

std::string DeviceGroup(const std::string& deviceName) {
    // A printer-class name carries the device's ids after the node ("#vid_7a3c&...").
    const std::string node = DeviceNodeOfPath(deviceName);
    struct stat info {};
    if (node.empty() || ::stat(node.c_str(), &info) != 0)
        return {};
    long size = ::sysconf(_SC_GETGR_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    for (;;) {
        group entry{};
        group* found = nullptr;
        const int error = ::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || found == nullptr || found->gr_name == nullptr)
            return std::to_string(info.st_gid); // a group without a name is still a hint
        return found->gr_name;
    }
}

} // namespace zopra::platform
