#pragma once
// USB printer-class devices on Linux: the usblp interfaces listed under sysfs, then the
// printer-class devices that virtual-cutter announces in the runtime directory.
//
// A device path carries the node to open and the USB ids in the form the cutter's vendor
// test reads, "/dev/usb/lp0#vid_7a3c&pid_0001" (lower-case hex); an interface whose USB
// device is not found in sysfs gets the bare node. Opening such a path, also with "\" and
// a suffix after it, opens the node.
#include "platform/PrinterClassDevices.h"

#include <filesystem>
#include <string_view>

namespace zopra::platform {

struct SysfsPrinterRoots {
    std::filesystem::path Sysfs = "/sys";
    std::filesystem::path Dev = "/dev";
};

// Tests point the roots at a made-up tree.
std::shared_ptr<PrinterClassDevices> MakeSysfsPrinterClassDevices(SysfsPrinterRoots roots = {});

// The device node that a device path, optionally followed by "\" and a suffix, opens.
std::string DeviceNodeOfPath(std::string_view name);

// The product id given to the printer-class devices of virtual-cutter.
inline constexpr std::uint16_t kVirtualPrinterProductId = 0x0000;

} // namespace zopra::platform
