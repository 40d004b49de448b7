// Causes of failed opens on Windows. Devices there have no owning group: access to a COM
// port is refused because another program has it open, not because of the user.
#include "platform/DeviceAccess.h"

#include <windows.h>

namespace zopra::platform {

HostSystem ThisSystem() {
    return HostSystem::Windows;
}

OpenFailure ClassifyOpenError(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return OpenFailure::Busy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
        return OpenFailure::NotFound;
    default:
        return OpenFailure::Unknown;
    }
}

bool DeviceGone(int code) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_INVALID_HANDLE: // the handle of a removed device no longer works
    case ERROR_BAD_COMMAND:    // usbser and FTDI ports after the adapter is pulled
    case ERROR_GEN_FAILURE:    // the same on some USB-serial drivers
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
        return true;
    default:
        return false;
    }
}

std::string DeviceGroup(const std::string&) {
    return {};
}

} // namespace zopra::platform
