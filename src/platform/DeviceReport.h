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

// How a report names an owner or group that is a person's (platform/posix/AccountNames.h).
inline constexpr const char* kCallerAccount = "you";
inline constexpr const char* kPersonAccount = "a user";

struct DeviceNodeReport {
    NodeRole Role = NodeRole::SerialPort;
    std::string Path;   // /dev/ttyUSB0, /dev/bus/usb/001/004, /dev/usb/lp0
    std::string Device; // the sysfs device name ("ttyUSB0", "1-2"), for the reader
    std::string Driver; // the kernel driver bound to it ("ftdi_sio", "usblp"); "" for none
    bool NodeExists = false;
    // User and group of the node as a report may show them: a person's as "you" or "a user",
    // any other by name (its number when it has none).
    std::string Owner;
    std::string Group;
    unsigned Mode = 0; // permission bits, 0660
    // Whether this user opened the node for reading and writing: 0, or errno (GetLastError).
    // Not for serial ports, which the doctor opens as Connect does (link/).
    int OpenError = 0;
    bool OpenTimedOut = false; // the open did not return within kDeviceOpenBound
    // A serial port, as the doctor's check found it: the serial component's message of a
    // refused open, and an open port with none of its modem lines active.
    std::string OpenMessage;
    bool NoActiveLine = false;
    // This program has the node open (not opened again), and the model connected on it.
    bool HeldHere = false;
    std::string HeldBy;
};

enum class DeviceSystem { Linux, Windows };

struct DeviceReport {
    DeviceSystem System = DeviceSystem::Linux;
    // Linux: the ttys that hardware backs. Windows: the registry's COM ports (Path "COM3",
    // Device the registry's value name), no owner, group or mode. Then every port of
    // `listedPorts` not among them (the virtual cutters' ptys the connection list shows).
    std::vector<DeviceNodeReport> SerialPorts;
    // Linux: vendor 7a3c's usbfs nodes, then their usblp nodes. Windows: the printer-class
    // interfaces whose path carries vid_7a3c (Path the interface path).
    std::vector<DeviceNodeReport> CutterNodes;
    // Where the vendor library must be for this program to load it (Windows: USBAPI.DLL
    // beside the program); empty where the program brings its own (Linux).
    std::filesystem::path VendorLibrary;
};

// Reads the tree under `roots` (Linux; Windows asks the system itself). Each USB node is
// opened for a moment (nothing is written to it), because only an open tells what this user
// may do: groups, ACLs and another program holding the device all count. An owner or group
// that is a person's shows as "you" or "a user", so that the report names no one.
// `heldDevice` is the node this program has open: it is marked HeldHere and not opened.
DeviceReport ReadDeviceReport(const DeviceRoots& roots = {},
                              const std::vector<std::string>& listedPorts = {},
                              const std::string& heldDevice = {});

} // namespace zopra::platform
