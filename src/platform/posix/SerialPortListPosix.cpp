#include "platform/SerialPortList.h"
#include "platform/posix/SerialSysfs.h"
#include "platform/virtual/RuntimeDir.h"

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <system_error>
#include <unistd.h>

namespace zopra::platform {

namespace fs = std::filesystem;

namespace {

std::string DriverName(const fs::path& device) {
    std::error_code error;
    const fs::path driver = fs::read_symlink(device / "driver", error);
    return error ? std::string() : driver.filename().string();
}

} // namespace

// Newer kernels put the serial core's own port and controller devices ("port", "ctrl")
// between the tty and the UART's device.
std::string OwningDriver(const fs::path& ttyDir) {
    std::error_code error;
    fs::path device = fs::canonical(ttyDir / "device", error);
    if (error)
        return {};
    std::string name = DriverName(device);
    for (int level = 0; level < 4 && (name == "port" || name == "ctrl"); ++level) {
        device = device.parent_path();
        name = DriverName(device);
    }
    return name;
}

std::vector<std::string> ListHardwareSerialPorts(const fs::path& classDir, const fs::path& devDir,
                                                 const UartProbe& isKnownUart) {
    std::vector<std::string> ports;
    std::error_code error;
    for (fs::directory_iterator it(classDir, error), end; !error && it != end;
         it.increment(error)) {
        const fs::path ttyDir = it->path();
        const std::string name = ttyDir.filename().string();
        std::error_code linkError;
        if (!fs::exists(ttyDir / "device", linkError))
            continue; // a virtual tty
        const std::string devicePath = (devDir / name).string();
        // The serial core shows the UART type; an unknown type (0) is no UART at all.
        std::ifstream typeFile(ttyDir / "type");
        int type = -1;
        if (typeFile >> type) {
            if (type == 0)
                continue;
        } else if (OwningDriver(ttyDir) == "serial8250" && !isKnownUart(devicePath)) {
            continue;
        }
        ports.push_back(devicePath);
    }
    std::sort(ports.begin(), ports.end(), NaturalLess);
    return ports;
}

bool ProbeKnownUart(const std::string& devicePath) {
    const int fd = open(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    serial_struct info{};
    const bool known = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return known;
}

std::vector<std::string> ListSerialPorts() {
    std::vector<std::string> ports =
        ListHardwareSerialPorts("/sys/class/tty", "/dev", ProbeKnownUart);
    // A virtual cutter's port is listed as the device its announcement points to: the same
    // path the cutter prints, and the node the component opens.
    std::vector<std::string> announced;
    for (const fs::path& target : AnnouncedDevices("serial")) {
        const fs::path device =
            target.is_absolute() ? target : (AnnouncementDir("serial") / target).lexically_normal();
        if (std::find(ports.begin(), ports.end(), device.string()) == ports.end() &&
            std::find(announced.begin(), announced.end(), device.string()) == announced.end())
            announced.push_back(device.string());
    }
    std::sort(announced.begin(), announced.end(), NaturalLess);
    ports.insert(ports.end(), announced.begin(), announced.end());
    return ports;
}

std::string SerialDeviceName(const std::string& listText) {
    return listText;
}

} // namespace zopra::platform
