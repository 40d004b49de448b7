#pragma once
// The devices a cutter may sit behind, with whether this program may open them: every
// serial port, and every USB device of the maker's vendor id (7a3c). For the doctor, which
// answers "why is my cutter not listed, or why can't I open it". Linux reads sysfs and the
// nodes (owner, group, mode, the bound driver); Windows reads the registry's serial ports,
// the printer-class interfaces of the vendor and where the vendor library should be.
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace zopra::platform {

// Where the system's device files are; tests point them at a made-up tree.
struct DeviceRoots {
    std::filesystem::path Sysfs = "/sys";
    std::filesystem::path Dev = "/dev";
};

// Each device is opened on a thread of its own and given this long: a device that blocks in
// its open is reported as not checked, and the report goes on.
inline constexpr std::chrono::milliseconds kDeviceOpenBound{2000};

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
    bool OpenTimedOut = false; // the open did not return within kDeviceOpenBound
};

enum class DeviceSystem { Linux, Windows };

struct DeviceReport {
    DeviceSystem System = DeviceSystem::Linux;
    // Linux: the ttys that hardware backs. Windows: the registry's COM ports (Path "COM3",
    // Device the registry's value name), no owner, group or mode.
    std::vector<DeviceNodeReport> SerialPorts;
    // Linux: vendor 7a3c's usbfs nodes, then their usblp nodes. Windows: the printer-class
    // interfaces whose path carries vid_7a3c (Path the interface path).
    std::vector<DeviceNodeReport> CutterNodes;
    // Where the vendor library must be for this program to load it (Windows: USBAPI.DLL
    // beside the program); empty where the program brings its own (Linux).
    std::filesystem::path VendorLibrary;
};

// Reads the tree under `roots` (Linux; Windows asks the system itself). Each node is opened
// for a moment (nothing is written to it), because only an open tells what this user may
// do: groups, ACLs and another program holding the device all count. A node owned by this
// user (not root) shows "you" as its owner, so that the report names no user.
DeviceReport ReadDeviceReport(const DeviceRoots& roots = {});

} // namespace zopra::platform
