// The device report on Windows: the COM ports of the registry and the printer-class
// interfaces of the maker's vendor id, each interface opened for a moment (exclusively, as
// the program opens them, so that one another program holds shows as such), and where the
// vendor library must lie: beside the program.
#include "platform/DeviceReport.h"

#include "platform/BoundedCall.h"
#include "platform/PrinterClassDevices.h"
#include "platform/SerialPortList.h"
#include "platform/win32/UsbApiLibrary.h"

#include <windows.h>

#include <algorithm>
#include <cctype>

namespace zopra::platform {

namespace {

// The error of an exclusive open of `name`, 0 when it opened; nothing when the open did not
// return in time.
std::optional<int> TryOpen(std::string name) {
    return CallWithin(kDeviceOpenBound, [name = std::move(name)] {
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return static_cast<int>(GetLastError());
        CloseHandle(handle);
        return 0;
    });
}

void NoteOpen(DeviceNodeReport& node, const std::optional<int>& opened) {
    node.NodeExists = true;
    if (opened)
        node.OpenError = *opened;
    else
        node.OpenTimedOut = true;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::filesystem::path ProgramFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path();
}

} // namespace

DeviceReport ReadDeviceReport(const DeviceRoots&, const std::vector<std::string>& listedPorts,
                              const std::string& held) {
    DeviceReport report;
    report.System = DeviceSystem::Windows;
    std::vector<std::string> ports = ListSerialPorts();
    for (const std::string& port : listedPorts)
        if (std::find(ports.begin(), ports.end(), port) == ports.end())
            ports.push_back(port);
    // The doctor opens each port as Connect does (link/).
    for (const std::string& port : ports) {
        DeviceNodeReport node;
        node.Role = NodeRole::SerialPort;
        node.Path = port;
        node.Device = port;
        node.NodeExists = true;
        node.HeldHere = port == held;
        report.SerialPorts.push_back(std::move(node));
    }

    const std::shared_ptr<PrinterClassDevices> devices = SystemPrinterClassDevices();
    if (auto list = devices->PresentInterfaces(kUsbPrinterInterfaceClass)) {
        std::string path;
        for (int index = 0; index < 1000; ++index) {
            const InterfaceQuery query = list->DevicePath(index, path);
            if (query == InterfaceQuery::NoMoreItems)
                break;
            if (query != InterfaceQuery::Found || Lower(path).find("vid_7a3c") == std::string::npos)
                continue;
            DeviceNodeReport node;
            node.Role = NodeRole::UsbPrinter;
            node.Path = path;
            node.Driver = "usbprint";
            // This program's own open device: its exclusive open would be refused.
            node.HeldHere = path == held;
            if (node.HeldHere)
                node.NodeExists = true;
            else
                NoteOpen(node, TryOpen(path));
            report.CutterNodes.push_back(std::move(node));
        }
    }
    const std::filesystem::path folder = ProgramFolder();
    if (!folder.empty())
        report.VendorLibrary = folder / kUsbApiLibraryName;
    return report;
}

} // namespace zopra::platform
