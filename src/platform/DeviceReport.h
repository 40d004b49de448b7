#pragma once
// The device nodes a cutter may sit behind, with who may open them: every serial port that
// hardware backs, and every USB device of the maker's vendor id (7a3c) with its usblp node
// when the printer driver holds it. For `zopra-cli doctor`, which answers "why is my cutter
// not listed, or why can't I open it". Linux reads sysfs and the nodes; Windows has no such
// files and says so.
#include <filesystem>
#include <string>
#include <vector>

namespace zopra::platform {

// Where the system's device files are; tests point them at a made-up tree.
struct DeviceRoots {
    std::filesystem::path Sysfs = "/sys";
    std::filesystem::path Dev = "/dev";
};

// How a node is reached: as a serial port, by the vendor library (usbfs), or as a
// printer-class device (usblp).
enum class NodeRole { SerialPort, UsbDevice, UsbPrinter };

struct DeviceNodeReport {
    NodeRole Role = NodeRole::SerialPort;
    std::string Path;   // /dev/ttyUSB0, /dev/bus/usb/001/004, /dev/usb/lp0
    std::string Device; // the sysfs device name ("ttyUSB0", "1-2"), for the reader
    std::string Driver; // the kernel driver bound to it ("ftdi_sio", "usblp"); "" for none
    bool NodeExists = false;
    std::string Owner; // user and group names of the node (numbers when they have none)
    std::string Group;
    unsigned Mode = 0; // permission bits, 0660
    int OpenError = 0; // 0 when this user opened the node for reading and writing; errno else
};

struct DeviceReport {
    bool Supported = false; // false where the system has no device files to read (Windows)
    std::vector<DeviceNodeReport> SerialPorts;
    std::vector<DeviceNodeReport> CutterNodes; // vendor 7a3c: usbfs nodes, then their usblp nodes
};

// Reads the tree under `roots`. Each node is opened for a moment (nothing is written to
// it), because only an open tells what this user may do: groups, ACLs and another program
// holding the device all count.
DeviceReport ReadDeviceReport(const DeviceRoots& roots = {});

} // namespace zopra::platform
