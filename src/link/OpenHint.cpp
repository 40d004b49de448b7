#include "link/OpenHint.h"

#include "link/Connections.h"

namespace zopra {

namespace {

using platform::OpenFailure;

std::string PermissionHint(LinkKind kind, const std::string& group) {
    if (kind != kLinkSerial)
        return std::string("Your user may not open this USB device. Install zopra's udev rules (") +
               kUdevRulesPath + ", part of the zopra package), then unplug the cutter and plug "
               "it in again.";
    // Adding a user to root's group would give away far more than a port.
    if (group.empty() || group == "root")
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

} // namespace

std::string OpenHint(OpenFailure cause, LinkKind kind, const std::string& group) {
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
