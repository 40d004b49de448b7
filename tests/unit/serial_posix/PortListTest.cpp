// The serial-port list on Linux: real hardware from a made-up sysfs tree, then the ports
// that virtual devices announce.
#include "platform/SerialPortList.h"
#include "platform/posix/SerialSysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace zopra::platform {
namespace {

namespace fs = std::filesystem;

class TempDir {
public:
    explicit TempDir(const std::string& name)
        : path_(fs::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TempDir() { fs::remove_all(path_); }
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// Builds /sys/class/tty and /sys/devices the way the kernel lays them out.
class FakeSysfs {
public:
    explicit FakeSysfs(const fs::path& root) : root_(root) {
        fs::create_directories(ClassDir());
        fs::create_directories(root_ / "drivers");
    }
    fs::path ClassDir() const { return root_ / "class" / "tty"; }

    // A tty whose device lives at devicePath (under devices/) and is bound to driver.
    // serialCore adds the serial core's port and controller devices in between, as newer
    // kernels do; type, when not empty, is the UART type the serial core shows.
    void AddTty(const std::string& name, const std::string& devicePath, const std::string& driver,
                bool serialCore = false, const std::string& type = "") {
        fs::path device = root_ / "devices" / devicePath;
        fs::create_directories(device);
        Bind(device, driver);
        if (serialCore) {
            device = device / (name + "-ctrl");
            fs::create_directories(device);
            Bind(device, "ctrl");
            device = device / (name + "-port");
            fs::create_directories(device);
            Bind(device, "port");
        }
        const fs::path tty = device / "tty" / name;
        fs::create_directories(tty);
        fs::create_directory_symlink(device, tty / "device");
        if (!type.empty())
            std::ofstream(tty / "type") << type << "\n";
        fs::create_directory_symlink(tty, ClassDir() / name);
    }
    // A tty with no device behind it (tty0, console, ptmx).
    void AddVirtualTty(const std::string& name) {
        const fs::path tty = root_ / "devices" / "virtual" / "tty" / name;
        fs::create_directories(tty);
        fs::create_directory_symlink(tty, ClassDir() / name);
    }

private:
    void Bind(const fs::path& device, const std::string& driver) {
        if (driver.empty())
            return;
        const fs::path driverDir = root_ / "drivers" / driver;
        fs::create_directories(driverDir);
        fs::create_directory_symlink(driverDir, device / "driver");
    }
    fs::path root_;
};

TEST(SerialPortList, ListsHardwareFromSysfsInNaturalOrder) {
    TempDir dir("zopra-sysfs");
    FakeSysfs sysfs(dir.Path());
    sysfs.AddVirtualTty("tty0");
    sysfs.AddVirtualTty("console");
    sysfs.AddVirtualTty("ptmx");
    sysfs.AddTty("ttyUSB0", "pci0/usb1/1-1/ttyUSB0", "ftdi_sio");
    sysfs.AddTty("ttyACM10", "pci0/usb1/1-2/1-2:1.0", "cdc_acm");
    sysfs.AddTty("ttyACM2", "pci0/usb1/1-3/1-3:1.0", "cdc_acm");
    // 8250 ports: known by the probe, or by the type the serial core shows.
    sysfs.AddTty("ttyS10", "platform/serial8250/s10", "serial8250");
    sysfs.AddTty("ttyS2", "platform/serial8250/s2", "serial8250");
    sysfs.AddTty("ttyS3", "platform/serial8250/s3", "serial8250"); // no UART behind it
    sysfs.AddTty("ttyS4", "platform/serial8250/s4", "serial8250", true, "0");
    sysfs.AddTty("ttyS5", "platform/serial8250/s5", "serial8250", true, "4");
    sysfs.AddTty("ttyS0", "pnp0/00:00", "serial", true, "4"); // found through PnP
    sysfs.AddTty("ttyS6", "pnp0/00:06", "serial", true);      // serial core, no type file
    sysfs.AddTty("ttyS7", "platform/serial8250/s7", "serial8250", true);

    std::set<std::string> probed;
    const auto probe = [&](const std::string& path) {
        probed.insert(path);
        return path == "/dev/ttyS10" || path == "/dev/ttyS2";
    };
    EXPECT_EQ(
        ListHardwareSerialPorts(sysfs.ClassDir(), "/dev", probe),
        (std::vector<std::string>{"/dev/ttyACM2", "/dev/ttyACM10", "/dev/ttyS0", "/dev/ttyS2",
                                  "/dev/ttyS5", "/dev/ttyS6", "/dev/ttyS10", "/dev/ttyUSB0"}));
    // Only 8250 ports without a type were probed, ttyS7 found through the serial core's
    // devices.
    EXPECT_EQ(probed,
              (std::set<std::string>{"/dev/ttyS2", "/dev/ttyS3", "/dev/ttyS7", "/dev/ttyS10"}));
}

TEST(SerialPortList, MissingSysfsListsNothing) {
    EXPECT_TRUE(ListHardwareSerialPorts("/nonexistent/class/tty", "/dev", [](const std::string&) {
                    return true;
                }).empty());
}

TEST(SerialPortList, AnnouncedPortsFollowAsTheirDevicePaths) {
    // The folder's name holds the stale device's number (as a process id may), so only its
    // exact path may tell a stale announcement from a live one.
    TempDir runtime("zopra-runtime-99");
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.Path().c_str(), 1);

    const fs::path announce = runtime.Path() / "zopra" / "serial";
    fs::create_directories(announce);
    const fs::path devices = runtime.Path() / "dev";
    fs::create_directories(devices / "pts");
    for (const char* node : {"pts/12", "pts/3"})
        std::ofstream(devices / node) << "";
    fs::create_symlink(devices / "pts/12", announce / "cutter-a");
    fs::create_symlink(devices / "pts/3", announce / "cutter-b");
    fs::create_symlink(devices / "pts/99", announce / "stale"); // its cutter is gone

    const std::vector<std::string> ports = ListSerialPorts();
    if (saved != nullptr)
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");

    ASSERT_GE(ports.size(), 2u);
    // After this machine's own hardware, in natural order.
    const std::vector<std::string> tail(ports.end() - 2, ports.end());
    EXPECT_EQ(tail, (std::vector<std::string>{(devices / "pts/3").string(),
                                              (devices / "pts/12").string()}));
    const std::string stale = (devices / "pts/99").string();
    for (const std::string& port : ports)
        EXPECT_NE(port, stale) << "stale announcement listed";
}

TEST(SerialPortList, DeviceNameOnLinuxIsThePathItself) {
    EXPECT_EQ(SerialDeviceName("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDeviceName("/dev/pts/7"), "/dev/pts/7");
}

} // namespace
} // namespace zopra::platform
