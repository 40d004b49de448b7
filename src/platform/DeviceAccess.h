#pragma once
// Why a device could not be opened, in words the link layer can turn into advice: the
// system's error code sorted into a few causes, and the group that owns a device node.
#include <string>

namespace zopra::platform {

enum class OpenFailure {
    Unknown,          // no code, or one that says nothing about access
    PermissionDenied, // this user may not open the device
    Busy,             // another program holds the device
    NotFound          // no such device (unplugged, or a mistyped name)
};

// Which system the advice is for: the words differ (udev, usblp and ModemManager on Linux;
// the Device Manager, the driver and the spooler on Windows).
enum class HostSystem { Linux, Windows };
HostSystem ThisSystem();

// Sorts a system error code (errno on Linux, GetLastError on Windows) into a cause.
OpenFailure ClassifyOpenError(int code);

// True when a system error code of a read, write or status call on an open device says the
// device itself has gone (unplugged, hung up, its handle invalidated), so that waiting on
// it longer cannot bring an answer.
bool DeviceGone(int code);

// The group that owns the device node behind `deviceName` ("dialout" for /dev/ttyUSB0 on
// Debian); "" when it cannot be read or the system has no such thing (Windows).
std::string DeviceGroup(const std::string& deviceName);

} // namespace zopra::platform
