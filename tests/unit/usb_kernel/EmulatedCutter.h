#pragma once
// A cutter plugged into the emulated kernel, in one of the three ways a cutter meets Linux:
// - Printer: a USB device of vendor 7a3c whose interface usblp holds, with its node
//   /dev/usb/lp0 (class usbmisc);
// - Vendor: a USB device of vendor 7a3c with two bulk endpoints and its usbfs node
//   /dev/bus/usb/001/003, reached through libusb;
// - Serial: a USB-serial adapter (ftdi_sio) with its port ttyUSB0 and node /dev/ttyUSB0.
// Behind each node stands a virtual cutter (its library, in this process), which answers
// from its model; every Plug() brings a fresh one, as a cutter switched on again.
#include "KernelTestbed.h"
#include "UsbfsBridge.h"

#include "virtual-cutter/VirtualCutter.h"

#include <filesystem>
#include <memory>
#include <string>

namespace zopra::test {

enum class CutterKind { Printer, Vendor, Serial };

class EmulatedCutter {
public:
    // `announceIn`: where the virtual cutter announces itself, a folder the program does
    // not read, so that it is found only through the emulated kernel.
    EmulatedCutter(KernelTestbed& testbed, CutterKind kind, std::filesystem::path announceIn);
    ~EmulatedCutter();

    // Switches a fresh virtual cutter on and plugs it in.
    void Plug(const vc::Faults& faults = {});
    // Pulls the plug: the device leaves sysfs and /dev.
    void Unplug();

    vc::VirtualCutter& Cutter() { return *FCutter; }
    // The vendor cutter's usbfs side; nullptr for the other kinds.
    UsbfsBridge* Bridge() { return FBridge.get(); }
    // The node under /dev, as the program opens it ("usb/lp0", "ttyUSB0", ...).
    std::string Node() const;
    // What stands behind the node: the virtual cutter's pty, or for the vendor cutter the
    // testbed's node file, whose ioctls the bridge answers.
    std::filesystem::path NodeTarget() const;

private:
    KernelTestbed& FTestbed;
    const CutterKind FKind;
    const std::filesystem::path FAnnounceIn;
    std::unique_ptr<vc::VirtualCutter> FCutter;
    std::unique_ptr<UsbfsBridge> FBridge;
    bool FPlugged = false;
    bool FPassing = false;
};

} // namespace zopra::test
