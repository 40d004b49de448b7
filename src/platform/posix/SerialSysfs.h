#pragma once
// The serial hardware that sysfs shows, for the serial-port list on Linux.
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zopra::platform {

// Tells whether the UART behind a device node is a known type (TIOCGSERIAL), for the ports
// whose sysfs entry does not say.
using UartProbe = std::function<bool(const std::string& devicePath)>;

// The ttys under classDir (/sys/class/tty) that hardware backs, as paths under devDir
// (/dev), in natural order. A tty without a device is virtual (tty0, console, ptmx) and
// left out; a port of the 8250 driver, or any serial-core port, counts only with a known
// UART type, since that driver registers ports for UARTs that are not there.
std::vector<std::string> ListHardwareSerialPorts(const std::filesystem::path& classDir,
                                                 const std::filesystem::path& devDir,
                                                 const UartProbe& isKnownUart);

// The kernel driver that owns the port of a tty's sysfs entry (/sys/class/tty/ttyUSB0 gives
// "ftdi_sio"); "" when none is bound.
std::string OwningDriver(const std::filesystem::path& ttyDir);

// Opens the device node and asks TIOCGSERIAL for the UART type.
bool ProbeKnownUart(const std::string& devicePath);

} // namespace zopra::platform
