#include "EmulatedCutter.h"

#include <sstream>
#include <vector>

namespace zopra::test {

namespace fs = std::filesystem;

namespace {

// umockdev's record text: one paragraph per device, parents first. The usblp and tty nodes
// are made by BackNode, not by umockdev ("N:"), which could not make a node of the same
// name again once the device was removed. Attributes end with a newline ("\n"), as in sysfs.
const char* const kPrinterCutter = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-1
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=7a3c\n
A: idProduct=0001\n
A: busnum=1\n
A: devnum=2\n

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
E: DRIVER=usblp
A: bInterfaceClass=07\n
L: driver=../../../../../../bus/usb/drivers/usblp

P: /devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/usbmisc/lp0
E: SUBSYSTEM=usbmisc
E: DEVNAME=/dev/usb/lp0
A: dev=180:0
)";

// Device descriptor (vendor 7a3c, product 0002), then configuration 1 with interface 0
// (vendor class) and its two bulk endpoints, 0x81 IN and 0x02 OUT, as sysfs shows them in
// "descriptors", where libusb reads them.
const char* const kVendorCutter = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-2
N: bus/usb/001/003
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
E: DEVNAME=/dev/bus/usb/001/003
E: BUSNUM=001
E: DEVNUM=003
A: idVendor=7a3c\n
A: idProduct=0002\n
A: busnum=1\n
A: devnum=3\n
A: speed=480\n
A: bConfigurationValue=1\n
A: dev=189:2
H: descriptors=12010002000000403C7A02000001000000010902200001010080320904000002FF0000000705810240000007050202400000
)";

const char* const kSerialAdapter = R"(P: /devices/pci0000:00/0000:00:14.0/usb1/1-3
E: SUBSYSTEM=usb
E: DEVTYPE=usb_device
A: idVendor=0403\n
A: idProduct=6001\n
A: busnum=1\n
A: devnum=4\n

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0
E: SUBSYSTEM=usb
E: DEVTYPE=usb_interface
E: DRIVER=ftdi_sio
L: driver=../../../../../../bus/usb/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB0
E: SUBSYSTEM=usb-serial
E: DRIVER=ftdi_sio
L: driver=../../../../../../../bus/usb-serial/drivers/ftdi_sio

P: /devices/pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/ttyUSB0/tty/ttyUSB0
E: SUBSYSTEM=tty
E: DEVNAME=/dev/ttyUSB0
A: dev=188:0
L: device=../../../ttyUSB0
)";

struct KindTraits {
    vc::Link link;
    const char* record;
    const char* node;
};

KindTraits TraitsOf(CutterKind kind) {
    switch (kind) {
    case CutterKind::Printer:
        return {vc::Link::Printer, kPrinterCutter, "usb/lp0"};
    case CutterKind::Vendor:
        return {vc::Link::UsbApi, kVendorCutter, "bus/usb/001/003"};
    case CutterKind::Serial:
        break;
    }
    return {vc::Link::Serial, kSerialAdapter, "ttyUSB0"};
}

} // namespace

EmulatedCutter::EmulatedCutter(KernelTestbed& testbed, CutterKind kind, fs::path announceIn)
    : FTestbed(testbed), FKind(kind), FAnnounceIn(std::move(announceIn)) {}

EmulatedCutter::~EmulatedCutter() {
    if (FPlugged)
        Unplug();
}

void EmulatedCutter::Plug(const vc::Faults& faults) {
    const KindTraits traits = TraitsOf(FKind);
    vc::Options options;
    options.link = traits.link;
    options.runtimeDir = FAnnounceIn;
    options.faults = faults;
    FCutter = std::make_unique<vc::VirtualCutter>(std::move(options));
    FCutter->Start();
    if (FKind == CutterKind::Vendor) {
        // The ioctls are taken before the device appears, so that no open comes first.
        if (!FBridge) {
            FBridge = std::make_unique<UsbfsBridge>(FCutter->DevicePath());
            FTestbed.AttachIoctl(traits.node, FBridge->Handler());
        } else {
            FBridge->SwitchedOn(FCutter->DevicePath());
        }
    }
    if (FKind == CutterKind::Serial && !FPassing) {
        FTestbed.PassIoctlsThrough(traits.node);
        FPassing = true;
    }
    FTestbed.Add(traits.record);
    if (FKind != CutterKind::Vendor)
        FTestbed.BackNode(traits.node, FCutter->DevicePath());
    FPlugged = true;
}

// Children first: umockdev removes a device's own links and node, not its children's.
void EmulatedCutter::Unplug() {
    std::vector<std::string> devices;
    std::istringstream record(TraitsOf(FKind).record);
    for (std::string line; std::getline(record, line);)
        if (line.rfind("P: ", 0) == 0)
            devices.push_back("/sys" + line.substr(3));
    for (auto it = devices.rbegin(); it != devices.rend(); ++it)
        FTestbed.Remove(*it);
    FPlugged = false;
}

std::string EmulatedCutter::Node() const {
    return TraitsOf(FKind).node;
}

fs::path EmulatedCutter::NodeTarget() const {
    return FKind == CutterKind::Vendor ? FTestbed.NodeFile(Node()) : FCutter->DevicePath();
}

} // namespace zopra::test
