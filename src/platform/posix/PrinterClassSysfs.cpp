#include "platform/posix/PrinterClassSysfs.h"

#include "platform/Trace.h"
#include "platform/virtual/RuntimeDir.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <termios.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace zopra::platform {

namespace fs = std::filesystem;

namespace {

struct UsbIds {
    std::uint16_t Vendor;
    std::uint16_t Product;
};

std::optional<std::uint16_t> ReadHexId(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    if (!(in >> text))
        return std::nullopt;
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size() || value > 0xffff)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

// The ids of the USB device that holds a usbmisc class entry: the nearest directory above
// the entry's real place in the device tree that has idVendor and idProduct (above the
// interface directory "1-2:1.0" stands the device "1-2").
std::optional<UsbIds> UsbIdsAbove(const fs::path& classEntry, const fs::path& sysfsRoot) {
    std::error_code ec;
    fs::path dir = fs::canonical(classEntry, ec);
    if (ec)
        return std::nullopt;
    fs::path stop = fs::weakly_canonical(sysfsRoot, ec);
    for (; !dir.empty() && dir != stop && dir != dir.root_path(); dir = dir.parent_path()) {
        if (fs::exists(dir / "idVendor", ec) && fs::exists(dir / "idProduct", ec)) {
            auto vendor = ReadHexId(dir / "idVendor");
            auto product = ReadHexId(dir / "idProduct");
            if (!vendor || !product)
                return std::nullopt;
            return UsbIds{*vendor, *product};
        }
    }
    return std::nullopt;
}

std::string IdsText(UsbIds ids) {
    char text[32];
    std::snprintf(text, sizeof text, "#vid_%04x&pid_%04x", ids.Vendor, ids.Product);
    return text;
}

// "lp12" gives 12; anything else is not a usblp node.
std::optional<unsigned> LpNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0)
        return std::nullopt;
    unsigned number = 0;
    auto [end, error] = std::from_chars(name.data() + 2, name.data() + name.size(), number);
    if (error != std::errc() || end != name.data() + name.size())
        return std::nullopt;
    return number;
}

std::vector<std::string> UsblpPaths(const SysfsPrinterRoots& roots) {
    std::vector<std::pair<unsigned, std::string>> found;
    std::error_code ec;
    for (fs::directory_iterator it(roots.Sysfs / "class" / "usbmisc", ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        auto number = LpNumber(name);
        if (!number)
            continue;
        std::string path = (roots.Dev / "usb" / name).string();
        if (auto ids = UsbIdsAbove(it->path(), roots.Sysfs))
            path += IdsText(*ids);
        found.emplace_back(*number, std::move(path));
    }
    // Directory order is arbitrary; number order keeps the indexes stable between walks.
    std::sort(found.begin(), found.end());
    std::vector<std::string> paths;
    for (auto& entry : found)
        paths.push_back(std::move(entry.second));
    return paths;
}

class SnapshotList final : public PrinterInterfaceList {
public:
    explicit SnapshotList(std::vector<std::string> paths) : FPaths(std::move(paths)) {}

    InterfaceQuery DevicePath(int index, std::string& path) override {
        if (index < 0 || static_cast<std::size_t>(index) >= FPaths.size())
            return InterfaceQuery::NoMoreItems;
        path = FPaths[static_cast<std::size_t>(index)];
        return InterfaceQuery::Found;
    }

    // Linux keeps no "Port Number" for a printer interface.
    std::optional<std::uint32_t> PortNumber(int) override { return std::nullopt; }

private:
    std::vector<std::string> FPaths;
};

class SysfsPrinterClassDevices final : public PrinterClassDevices {
public:
    explicit SysfsPrinterClassDevices(SysfsPrinterRoots roots) : FRoots(std::move(roots)) {}

    std::unique_ptr<PrinterInterfaceList>
    PresentInterfaces(const InterfaceClassGuid& interfaceClass) override {
        std::vector<std::string> paths;
        if (interfaceClass == kUsbPrinterInterfaceClass) {
            paths = UsblpPaths(FRoots);
            const std::string ids = IdsText({kCutterVendorId, kVirtualPrinterProductId});
            for (const auto& target : AnnouncedDevices("printer"))
                paths.push_back(target.string() + ids);
        }
        return std::make_unique<SnapshotList>(std::move(paths));
    }

    PrinterHandle Open(const std::string& name) override {
        const std::string node = DeviceNodeOfPath(name);
        if (node.empty())
            return PrinterHandle::Failed(ENOENT);
        int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            return PrinterHandle::Failed(errno);
        // A virtual cutter's device is a pty: raw, so that CR and LF pass unchanged.
        termios settings{};
        if (!::isatty(fd)) {
            // A real usblp node: nothing to set.
        } else if (::tcgetattr(fd, &settings) != 0) {
            TraceFailure("tcgetattr (a printer-class pty)", errno);
        } else {
            ::cfmakeraw(&settings);
            if (::tcsetattr(fd, TCSANOW, &settings) != 0)
                TraceFailure("tcsetattr (a printer-class pty, raw)", errno);
        }
        return PrinterHandle(fd);
    }

private:
    SysfsPrinterRoots FRoots;
};

} // namespace

std::string DeviceNodeOfPath(std::string_view name) {
    name = name.substr(0, name.find('\\'));
    name = name.substr(0, name.find('#'));
    return std::string(name);
}

std::shared_ptr<PrinterClassDevices> MakeSysfsPrinterClassDevices(SysfsPrinterRoots roots) {
    return std::make_shared<SysfsPrinterClassDevices>(std::move(roots));
}

std::shared_ptr<PrinterClassDevices> SystemPrinterClassDevices() {
    return MakeSysfsPrinterClassDevices();
}

} // namespace zopra::platform
