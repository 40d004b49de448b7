// The device report on Linux: serial ports from /sys/class/tty, the maker's USB devices
// from /sys/bus/usb/devices, each node's owner and mode from the node itself, and an open
// to learn whether this user may use it.
#include "platform/DeviceReport.h"

#include "platform/BoundedCall.h"
#include "platform/PrinterClassDevices.h"
#include "platform/SerialPortList.h"
#include "platform/Trace.h"
#include "platform/posix/AccountNames.h"
#include "platform/posix/SerialSysfs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace zopra::platform {

namespace fs = std::filesystem;

namespace {

std::string FirstWord(const fs::path& file) {
    std::ifstream in(file);
    std::string word;
    in >> word;
    return word;
}

// A folder the report could not list (or list to the end) shows nothing of what it holds;
// the report says what it found, and the trace says why something may be missing.
void TraceListing(const fs::path& dir, const std::error_code& error) {
    if (error)
        TraceFailure("listing " + dir.string(), error.value());
}

// Empty for an interface no driver is bound to (it has no "driver" link).
std::string DriverOf(const fs::path& dir) {
    std::error_code error;
    const fs::path driver = fs::read_symlink(dir / "driver", error);
    if (error && error != std::errc::no_such_file_or_directory)
        TraceFailure("readlink " + (dir / "driver").string(), error.value());
    return error ? std::string() : driver.filename().string();
}

// Owner, group, mode, and (but for a serial port) whether this user may open the node.
// This program's own open node (`held`) is not opened again.
DeviceNodeReport Inspect(NodeRole role, const fs::path& node, std::string device,
                         std::string driver, const std::string& held) {
    DeviceNodeReport report;
    report.Role = role;
    report.Path = node.string();
    report.Device = std::move(device);
    report.Driver = std::move(driver);
    struct stat info {};
    if (::stat(report.Path.c_str(), &info) != 0) {
        report.OpenError = errno;
        return report;
    }
    report.NodeExists = true;
    // No person's name goes into what the report shows (it may be sent to others).
    report.Owner = ShownOwner(info.st_uid, ::geteuid());
    report.Group = ShownGroup(info.st_gid, ::getegid());
    report.Mode = static_cast<unsigned>(info.st_mode & 07777);
    report.HeldHere = !held.empty() && report.Path == held;
    if (role == NodeRole::SerialPort || report.HeldHere)
        return report;
    // Non-blocking, so that a serial port does not wait for its carrier; no controlling tty.
    // Still bounded: a driver may block in its open all the same.
    const auto opened = CallWithin(kDeviceOpenBound, [path = report.Path] {
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0)
            return errno;
        ::close(fd);
        return 0;
    });
    if (opened)
        report.OpenError = *opened;
    else
        report.OpenTimedOut = true;
    return report;
}

// "/dev/bus/usb/001/004" from busnum 1 and devnum 4, where libusb opens the device.
fs::path UsbfsNode(const fs::path& devRoot, const fs::path& deviceDir) {
    const std::string bus = FirstWord(deviceDir / "busnum");
    const std::string dev = FirstWord(deviceDir / "devnum");
    char name[32] = {};
    try {
        std::snprintf(name, sizeof name, "%03d/%03d", std::stoi(bus), std::stoi(dev));
    } catch (const std::exception&) {
        // The device is listed without its usbfs node: libusb could not open it either.
        TraceNote("no bus or device number in " + deviceDir.string(), bus + " " + dev);
        return {};
    }
    return devRoot / "bus" / "usb" / name;
}

void AddCutterDevice(const DeviceRoots& roots, const fs::path& deviceDir, const std::string& held,
                     std::vector<DeviceNodeReport>& usbNodes,
                     std::vector<DeviceNodeReport>& printerNodes) {
    const std::string device = deviceDir.filename().string();
    // The interfaces sit below the device ("1-2:1.0"); usblp binds one of them.
    std::vector<fs::path> interfaces;
    std::error_code error;
    for (fs::directory_iterator it(deviceDir, error), end; !error && it != end;
         it.increment(error)) {
        if (it->path().filename().string().find(':') != std::string::npos)
            interfaces.push_back(it->path());
    }
    TraceListing(deviceDir, error);
    std::sort(interfaces.begin(), interfaces.end());
    std::string driver;
    for (const fs::path& interface : interfaces) {
        const std::string bound = DriverOf(interface);
        if (bound.empty())
            continue;
        if (driver.empty() || bound == "usblp")
            driver = bound;
        std::error_code lpError;
        for (fs::directory_iterator lp(interface / "usbmisc", lpError), end; !lpError && lp != end;
             lp.increment(lpError)) {
            const std::string name = lp->path().filename().string();
            printerNodes.push_back(
                Inspect(NodeRole::UsbPrinter, roots.Dev / "usb" / name, device, bound, held));
        }
        // Only an interface that usblp binds has the folder.
        if (lpError != std::errc::no_such_file_or_directory)
            TraceListing(interface / "usbmisc", lpError);
    }
    const fs::path node = UsbfsNode(roots.Dev, deviceDir);
    if (!node.empty())
        usbNodes.push_back(Inspect(NodeRole::UsbDevice, node, device, driver, held));
}

} // namespace

DeviceReport ReadDeviceReport(const DeviceRoots& roots, const std::vector<std::string>& listedPorts,
                              const std::string& held) {
    DeviceReport report;
    report.System = DeviceSystem::Linux;

    const fs::path ttyClass = roots.Sysfs / "class" / "tty";
    for (const std::string& port : ListHardwareSerialPorts(ttyClass, roots.Dev, ProbeKnownUart)) {
        const std::string name = fs::path(port).filename().string();
        report.SerialPorts.push_back(
            Inspect(NodeRole::SerialPort, port, name, OwningDriver(ttyClass / name), held));
    }
    for (const std::string& port : listedPorts) {
        const auto same = [&](const DeviceNodeReport& node) { return node.Path == port; };
        if (std::none_of(report.SerialPorts.begin(), report.SerialPorts.end(), same))
            report.SerialPorts.push_back(
                Inspect(NodeRole::SerialPort, port, fs::path(port).filename().string(),
                        port.rfind("/dev/pts/", 0) == 0 ? "pty" : "", held));
    }

    // Devices only: interfaces have no idVendor, root hubs have another vendor.
    std::vector<fs::path> devices;
    std::error_code error;
    for (fs::directory_iterator it(roots.Sysfs / "bus" / "usb" / "devices", error), end;
         !error && it != end; it.increment(error)) {
        if (FirstWord(it->path() / "idVendor") == kCutterVendorIdText)
            devices.push_back(it->path());
    }
    TraceListing(roots.Sysfs / "bus" / "usb" / "devices", error);
    std::sort(devices.begin(), devices.end(), [](const fs::path& left, const fs::path& right) {
        return NaturalLess(left.filename().string(), right.filename().string());
    });
    std::vector<DeviceNodeReport> printers;
    for (const fs::path& device : devices)
        AddCutterDevice(roots, device, held, report.CutterNodes, printers);
    report.CutterNodes.insert(report.CutterNodes.end(), printers.begin(), printers.end());
    return report;
}

} // namespace zopra::platform
