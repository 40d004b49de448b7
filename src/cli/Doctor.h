#pragma once
// `zopra-cli doctor`: why a cutter is not listed or cannot be opened. For every serial port
// and every USB device of the maker: its node, the kernel driver bound to it, the node's
// owner, group and mode, whether this user can open it and, where not, the advice the
// window gives for that failure; then whether the udev rules are installed.
#include "platform/DeviceReport.h"

#include <filesystem>
#include <ostream>
#include <vector>

namespace zopra::cli {

struct DoctorRoots {
    platform::DeviceRoots Devices;
    // Where udev reads rules, the administrator's folder first (a file there replaces the
    // package's file of the same name).
    std::vector<std::filesystem::path> RulesFolders = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d",
                                                       "/lib/udev/rules.d"};
};

// Writes the report to `out`; returns kExitDone when every USB cutter found can be opened,
// kExitCutterFailed when one cannot. Serial ports are shown but do not count: nothing tells
// which of them has a cutter on it.
int RunDoctor(const DoctorRoots& roots, std::ostream& out);

} // namespace zopra::cli
