#pragma once
// The doctor: why a cutter is not listed or cannot be opened, as findings that zopra-cli
// prints, the window shows behind "Why?" and the report carries. For every serial port and
// every USB device of the maker: where it is, the driver bound to it, on Linux the node's
// owner, group and mode, whether this program can open it and, where not, what to do; on
// Linux whether the udev rules are installed, on Windows whether the vendor library beside
// the program is one the program can use.
#include "platform/DeviceReport.h"
#include "platform/SerialDriver.h"
#include "settings/VendorLibraryFile.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zopra::settings {

struct DoctorRoots {
    platform::DeviceRoots Devices;
    // Where udev reads rules, the administrator's folder first (a file there replaces the
    // package's file of the same name).
    std::vector<std::filesystem::path> RulesFolders = {"/etc/udev/rules.d", "/usr/lib/udev/rules.d",
                                                       "/lib/udev/rules.d"};
    // The serial ports the connection list shows (virtual cutters' ports too), each checked
    // as Connect opens it, through `SerialDriver` (null: the system's).
    std::function<std::vector<std::string>()> ListSerialPorts;
    std::shared_ptr<platform::SerialDriver> SerialDriver;
    // The device this program has open now (CutterConnections::OpenDevice) and the model
    // connected on it: named as such and not opened, since its own open would be refused.
    std::string HeldDevice;
    std::string HeldModel;
};

struct DoctorFinding {
    std::string text; // one line of what was found (a heading ends in ':', its items are indented)
    std::string advice; // what to do about it; "" when there is nothing to do
};

struct DoctorFindings {
    std::vector<DoctorFinding> findings;
    // A cutter was found that cannot be used as it is (a USB device that does not open, a
    // vendor library that cannot be loaded). Serial ports do not count: nothing tells which
    // of them has a cutter on it.
    bool cutterBlocked = false;
};

// Looks at the devices of this computer (or the made-up tree of `roots`). Each device open
// is bounded (platform::kDeviceOpenBound); one that does not return is "not checked". A
// serial port is judged as Connect judges it: opened, its line settings made, its modem
// lines read.
DoctorFindings RunDoctor(const DoctorRoots& roots = {});

// What the doctor says of a device report already read (RunDoctor's second half); the udev
// rules are read from `rulesFolders` on Linux.
DoctorFindings FindingsOf(const platform::DeviceReport& report,
                          const std::vector<std::filesystem::path>& rulesFolders);

// The findings as text: one line each, its advice on the next line, indented.
std::string DoctorText(const DoctorFindings& findings);

// What the doctor says of the file that should be the vendor library.
DoctorFinding VendorLibraryFinding(const VendorLibraryCheck& check);

} // namespace zopra::settings
