#include "cli/Doctor.h"

#include "cli/CliErrors.h"
#include "link/Connections.h"
#include "link/OpenHint.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zopra::cli {

namespace {

namespace fs = std::filesystem;
using platform::DeviceNodeReport;
using platform::NodeRole;

LinkKind KindOf(NodeRole role) {
    switch (role) {
    case NodeRole::UsbDevice:
        return kLinkVendorUsb;
    case NodeRole::UsbPrinter:
        return kLinkPrinterClass;
    case NodeRole::SerialPort:
        break;
    }
    return kLinkSerial;
}

std::string ModeText(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777u);
    return text;
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

// One line per node, the advice indented below it:
//   /dev/ttyUSB0  driver ftdi_sio  root:dialout 0660  cannot open: Permission denied
void PrintNodes(const std::vector<DeviceNodeReport>& nodes, std::ostream& out) {
    std::size_t pathWidth = 0, driverWidth = 0, ownerWidth = 0;
    for (const DeviceNodeReport& node : nodes) {
        pathWidth = std::max(pathWidth, node.Path.size());
        driverWidth = std::max(driverWidth, node.Driver.empty() ? 4 : node.Driver.size());
        ownerWidth = std::max(ownerWidth, node.Owner.size() + 1 + node.Group.size());
    }
    for (const DeviceNodeReport& node : nodes) {
        out << "  " << Padded(node.Path, pathWidth) << "  driver "
            << Padded(node.Driver.empty() ? "none" : node.Driver, driverWidth) << "  ";
        if (node.NodeExists)
            out << Padded(node.Owner + ":" + node.Group, ownerWidth) << " " << ModeText(node.Mode)
                << "  ";
        else
            out << "no device node  ";
        if (node.OpenError == 0) {
            out << "can open\n";
            continue;
        }
        out << "cannot open: " << std::generic_category().message(node.OpenError) << "\n";
        const std::string hint =
            OpenHint(platform::ClassifyOpenError(node.OpenError), KindOf(node.Role), node.Group);
        if (!hint.empty())
            out << "    " << hint << "\n";
    }
}

// The first rules file of zopra's name that udev would read, and whether it is zopra's
// (a file in /etc of the same name, or a link to /dev/null, masks the package's file).
void PrintRules(const std::vector<fs::path>& folders, std::ostream& out) {
    const fs::path name = fs::path(kUdevRulesPath).filename();
    for (const fs::path& folder : folders) {
        const fs::path file = folder / name;
        std::error_code error;
        if (!fs::exists(file, error))
            continue;
        std::ifstream in(file);
        const std::string text{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
        if (text.find("7a3c") != std::string::npos && text.find("uaccess") != std::string::npos)
            out << "udev rules: installed (" << file.string() << ")\n";
        else
            out << "udev rules: " << file.string()
                << " is there but gives no access to vendor 7a3c (emptied or masked)\n";
        return;
    }
    out << "udev rules: not installed (" << kUdevRulesPath
        << " comes with the zopra package); without them the USB nodes usually belong to root "
           "alone\n";
}

} // namespace

int RunDoctor(const DoctorRoots& roots, std::ostream& out) {
    const platform::DeviceReport report = platform::ReadDeviceReport(roots.Devices);
    if (!report.Supported) {
        out << "This system keeps no device files to read; the Device Manager shows the "
               "cutter's ports and drivers.\n";
        return kExitDone;
    }
    out << "Serial ports:\n";
    if (report.SerialPorts.empty())
        out << "  none\n";
    PrintNodes(report.SerialPorts, out);

    out << "USB devices of vendor 7a3c:\n";
    if (report.CutterNodes.empty())
        out << "  none: is the cutter plugged in and switched on?\n";
    PrintNodes(report.CutterNodes, out);

    PrintRules(roots.RulesFolders, out);

    const bool allOpen =
        std::all_of(report.CutterNodes.begin(), report.CutterNodes.end(),
                    [](const DeviceNodeReport& node) { return node.OpenError == 0; });
    return allOpen ? kExitDone : kExitCutterFailed;
}

} // namespace zopra::cli
