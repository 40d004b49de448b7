#include "settings/Doctor.h"

#include "link/Connections.h"
#include "link/OpenHint.h"
#include "platform/BoundedCall.h"
#include "platform/SerialPortList.h"
#include "settings/VendorLibraryFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <system_error>

namespace zopra::settings {

namespace {

namespace fs = std::filesystem;
using platform::DeviceNodeReport;
using platform::DeviceSystem;
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

platform::HostSystem HostOf(DeviceSystem system) {
    return system == DeviceSystem::Windows ? platform::HostSystem::Windows
                                           : platform::HostSystem::Linux;
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

// One finding per node, in aligned columns:
//   /dev/ttyUSB0  driver ftdi_sio  root:dialout 0660  cannot open: Permission denied
// Windows has no owners or modes: "  COM3  cannot open: Access is denied."
void AddNodes(const std::vector<DeviceNodeReport>& nodes, DeviceSystem system,
              DoctorFindings& out) {
    const bool onLinux = system == DeviceSystem::Linux;
    std::size_t pathWidth = 0, driverWidth = 0, ownerWidth = 0;
    for (const DeviceNodeReport& node : nodes) {
        pathWidth = std::max(pathWidth, node.Path.size());
        driverWidth = std::max(driverWidth, node.Driver.empty() ? 4 : node.Driver.size());
        ownerWidth = std::max(ownerWidth, node.Owner.size() + 1 + node.Group.size());
    }
    for (const DeviceNodeReport& node : nodes) {
        std::string line = "  " + Padded(node.Path, pathWidth) + "  ";
        if (onLinux) {
            line +=
                "driver " + Padded(node.Driver.empty() ? "none" : node.Driver, driverWidth) + "  ";
            if (node.NodeExists)
                line += Padded(node.Owner + ":" + node.Group, ownerWidth) + " " +
                        ModeText(node.Mode) + "  ";
            else
                line += "no device node  ";
        }
        if (node.HeldHere) {
            out.findings.push_back(
                {line + "open in zopra" +
                     (node.HeldBy.empty() ? "" : ": connected to " + node.HeldBy),
                 {}});
            continue;
        }
        if (node.OpenTimedOut) {
            out.findings.push_back(
                {line + "could not be checked: its open did not return within 2 s",
                 "The device or its driver hangs: unplug it and plug it in again."});
            out.cutterBlocked = out.cutterBlocked || node.Role != NodeRole::SerialPort;
            continue;
        }
        if (node.OpenError == 0 && node.NoActiveLine) {
            out.findings.push_back(
                {line + "opens, but none of its modem lines is active: nothing is connected to "
                        "it, or what is connected is switched off",
                 {}});
            continue;
        }
        if (node.OpenError == 0) {
            out.findings.push_back({line + "can open", {}});
            continue;
        }
        const platform::OpenFailure cause = platform::ClassifyOpenError(node.OpenError);
        // A code of the serial component's own (-1) has no system text: its message says it.
        std::string why = node.OpenError > 0 ? std::system_category().message(node.OpenError) : "";
        while (!why.empty() && (why.back() == '\n' || why.back() == '\r' || why.back() == ' '))
            why.pop_back();
        if (!onLinux && cause == platform::OpenFailure::Busy)
            why += " (another program holds it)";
        // What Connect says of the same port.
        if (!node.OpenMessage.empty())
            why = why.empty() ? node.OpenMessage : why + " (" + node.OpenMessage + ")";
        out.findings.push_back({line + "cannot open: " + why,
                                OpenHint(cause, KindOf(node.Role), node.Group, HostOf(system))});
        out.cutterBlocked = out.cutterBlocked || node.Role != NodeRole::SerialPort;
    }
}

// The first rules file of zopra's name that udev would read, and whether it is zopra's
// (a file in /etc of the same name, or a link to /dev/null, masks the package's file).
DoctorFinding RulesFinding(const std::vector<fs::path>& folders) {
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
            return {"udev rules: installed (" + file.string() + ")", {}};
        return {"udev rules: " + file.string() +
                    " is there but gives no access to the cutter maker's USB devices (emptied "
                    "or masked)",
                "Remove it, so that the package's rules apply."};
    }
    return {std::string("udev rules: not installed (") + kUdevRulesPath +
                " comes with the zopra package); without them the USB nodes usually belong to "
                "root alone",
            {}};
}

} // namespace

DoctorFinding VendorLibraryFinding(const VendorLibraryCheck& check) {
    using State = VendorLibraryCheck::State;
    // Named, never by its path: the folder may carry the user's name.
    switch (check.state) {
    case State::Missing:
        return {"USBAPI.DLL: not beside zopra.exe",
                "Only a cutter on the maker's own USB driver needs it: copy the maker's 32-bit "
                "USBAPI.DLL into the folder of zopra.exe."};
    case State::Unreadable:
        return {"USBAPI.DLL beside zopra.exe could not be read: " +
                    std::generic_category().message(check.error),
                "Check that the file may be read, or copy it anew."};
    case State::NotALibrary:
        return {"USBAPI.DLL beside zopra.exe is no Windows library",
                "Replace it with the maker's 32-bit USBAPI.DLL."};
    case State::SixtyFourBit:
        return {"USBAPI.DLL is a 64-bit library; zopra needs the 32-bit one",
                "Replace it with the maker's 32-bit USBAPI.DLL."};
    case State::MissingEntries: {
        std::string ordinals;
        for (const unsigned ordinal : check.missing)
            ordinals += (ordinals.empty() ? "" : ", ") + std::to_string(ordinal);
        return {"USBAPI.DLL is 32-bit but lacks the operations at ordinals " + ordinals,
                "It is another library of the same name: replace it with the maker's "
                "USBAPI.DLL."};
    }
    case State::Good:
        break;
    }
    return {"USBAPI.DLL: beside zopra.exe, 32-bit, all five operations there", {}};
}

DoctorFindings RunDoctor(const DoctorRoots& roots) {
    const std::vector<std::string> listed =
        roots.ListSerialPorts ? roots.ListSerialPorts() : platform::ListSerialPorts();
    platform::DeviceReport report =
        platform::ReadDeviceReport(roots.Devices, listed, roots.HeldDevice);
    const std::shared_ptr<platform::SerialDriver> driver =
        roots.SerialDriver ? roots.SerialDriver : platform::SystemSerialDriver();
    for (DeviceNodeReport& node : report.SerialPorts) {
        if (node.HeldHere) {
            node.HeldBy = roots.HeldModel;
            continue;
        }
        if (!node.NodeExists)
            continue; // its stat failed: OpenError says why already
        const auto checked =
            platform::CallWithin(platform::kDeviceOpenBound, [driver, port = node.Path] {
                return CheckSerialPort(driver, port);
            });
        if (!checked) {
            node.OpenTimedOut = true;
            continue;
        }
        node.OpenError = checked->outcome == SerialPortCheck::Outcome::Refused
                             ? (checked->error != 0 ? checked->error : -1)
                             : 0;
        node.OpenMessage = checked->message;
        node.NoActiveLine = checked->outcome == SerialPortCheck::Outcome::NoModemLine;
    }
    return FindingsOf(report, roots.RulesFolders);
}

DoctorFindings FindingsOf(const platform::DeviceReport& report,
                          const std::vector<fs::path>& rulesFolders) {
    const bool windows = report.System == DeviceSystem::Windows;
    DoctorFindings out;
    out.findings.push_back({windows ? "Serial ports (from the registry):" : "Serial ports:", {}});
    if (report.SerialPorts.empty())
        out.findings.push_back({"  none", {}});
    AddNodes(report.SerialPorts, report.System, out);

    out.findings.push_back({"The cutter maker's USB devices:", {}});
    if (report.CutterNodes.empty())
        out.findings.push_back({"  none: is the cutter plugged in and switched on?", {}});
    AddNodes(report.CutterNodes, report.System, out);

    if (!report.VendorLibrary.empty()) {
        using State = VendorLibraryCheck::State;
        const VendorLibraryCheck check = CheckVendorLibraryFile(report.VendorLibrary);
        out.findings.push_back(VendorLibraryFinding(check));
        // A library that is there but unusable stops a cutter on it; a missing one matters
        // only to such a cutter, and most cutters need none.
        out.cutterBlocked =
            out.cutterBlocked || (check.state != State::Missing && check.state != State::Good);
    }
    if (!windows)
        out.findings.push_back(RulesFinding(rulesFolders));
    return out;
}

std::string DoctorText(const DoctorFindings& findings) {
    std::string text;
    for (const DoctorFinding& finding : findings.findings) {
        text += finding.text + "\n";
        if (!finding.advice.empty())
            text += "    " + finding.advice + "\n";
    }
    return text;
}

} // namespace zopra::settings
