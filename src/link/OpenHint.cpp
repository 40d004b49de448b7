#include "link/OpenHint.h"

#include "link/Connections.h"
#include "platform/DeviceReport.h"

namespace zopra {

namespace {

using platform::OpenFailure;

std::string PermissionHint(LinkKind kind, const std::string& group) {
    if (kind != kLinkSerial)
        return std::string("Your user may not open this USB device. Install zopra's udev rules (") +
               kUdevRulesPath +
               ", part of the zopra package), then unplug the cutter and plug "
               "it in again.";
    // Adding a user to root's group would give away far more than a port, and a person's own
    // group (as a report names it) is no group to join.
    if (group.empty() || group == "root" || group == platform::kPersonAccount ||
        group == platform::kCallerAccount)
        return "Your user may not open this port. Ask the administrator for access to it.";
    return "Your user may not open this port, which belongs to the group " + group +
           ". Add yourself to it with: sudo usermod -aG " + group +
           " $USER (then log out and back in).";
}

std::string BusyHint(LinkKind kind) {
    switch (kind) {
    case kLinkSerial:
        return "The port is in use by another program (a terminal program, or on Linux "
               "ModemManager, which probes a new serial port for a few seconds after it "
               "appears): wait a moment and try again, or close the other program.";
    case kLinkPrinterClass:
        return "Another program holds this device: a printer spooler (CUPS) takes USB printers "
               "through the usblp driver. Close it, or remove the cutter from the printers, and "
               "try again.";
    default:
        return "Another program holds this USB device, such as a printer spooler (CUPS) or a "
               "second zopra. Close it and try again.";
    }
}

// Windows refuses a port that another program has open with "access denied", and its
// devices have no group to join: the advice is about the other program and the driver.
std::string WindowsHint(OpenFailure cause, LinkKind kind) {
    switch (cause) {
    case OpenFailure::PermissionDenied:
        return "Windows refused access to this device: check in the Device Manager that it "
               "works and has its driver, then try again.";
    case OpenFailure::Busy:
        switch (kind) {
        case kLinkSerial:
            return "Another program holds this port (a terminal, a second zopra, a phone or "
                   "modem tool): close it and try again.";
        case kLinkPrinterClass:
            return "Another program holds this device, such as the print spooler: remove the "
                   "cutter from Windows' printers, or close the other program, and try again.";
        default:
            return "Another program holds this USB device, such as a second zopra: close it and "
                   "try again.";
        }
    case OpenFailure::NotFound:
        return kind == kLinkSerial
                   ? "No such port: check its name in the Device Manager (Ports), and that the "
                     "cutter is plugged in and switched on."
                   : "The device is gone: check that the cutter is plugged in and switched on, "
                     "and that the Device Manager shows it with its driver.";
    case OpenFailure::Unknown:
        break;
    }
    return {};
}

} // namespace

std::string OpenHint(OpenFailure cause, LinkKind kind, const std::string& group,
                     platform::HostSystem system) {
    if (system == platform::HostSystem::Windows)
        return WindowsHint(cause, kind);
    switch (cause) {
    case OpenFailure::PermissionDenied:
        return PermissionHint(kind, group);
    case OpenFailure::Busy:
        return BusyHint(kind);
    case OpenFailure::NotFound:
        return kind == kLinkSerial
                   ? "No such port: check its name, and that the cutter is plugged in and "
                     "switched on."
                   : "The device is gone: check that the cutter is plugged in and switched on.";
    case OpenFailure::Unknown:
        break;
    }
    return {};
}

std::string WithOpenHint(const std::string& message, const std::string& hint) {
    return hint.empty() ? message : message + "\n" + hint;
}

std::string WithOpenHint(const std::string& message, int code, LinkKind kind,
                         const std::string& deviceName) {
    const OpenFailure cause = code > 0 ? platform::ClassifyOpenError(code) : OpenFailure::Unknown;
    // The group only matters for a refused serial port; no need to look at the device else.
    const std::string group = cause == OpenFailure::PermissionDenied && kind == kLinkSerial
                                  ? platform::DeviceGroup(deviceName)
                                  : std::string();
    return WithOpenHint(message, OpenHint(cause, kind, group));
}

} // namespace zopra
