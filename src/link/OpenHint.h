#pragma once
// Advice for a device that would not open. The message the user sees stays as it was;
// when the cause is known, one line follows it that says what to do: join the port's
// group, install the udev rules and replug, or close the program that holds the device.
#include "platform/DeviceAccess.h"

#include <cstdint>
#include <string>

namespace zopra {

enum LinkKind : std::int32_t; // link/Connections.h

// The hint for a cause on a link kind, in the words of `system`; `group` is the group that
// owns the device node ("" when unknown). "" when there is nothing useful to say.
std::string OpenHint(platform::OpenFailure cause, LinkKind kind, const std::string& group,
                     platform::HostSystem system = platform::ThisSystem());

// `message`, then `hint` on its own line when there is one.
std::string WithOpenHint(const std::string& message, const std::string& hint);

// `message` with the hint for the system error `code` of opening `deviceName`; the group
// is read from the device itself.
std::string WithOpenHint(const std::string& message, int code, LinkKind kind,
                         const std::string& deviceName);

// Where the package installs the rules that give the logged-in user the cutter's USB devices.
inline constexpr const char* kUdevRulesPath = "/usr/lib/udev/rules.d/70-zopra.rules";

} // namespace zopra
