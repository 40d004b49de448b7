#pragma once
// The serial ports the system offers, for the connection list.
//
// Windows: the value data of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (COM1, COM2, ...), in the
// registry's order. Linux: the ttys backed by real hardware, as /dev/ttyXXX, then the ports
// that virtual cutters announce in the runtime directory, as the device paths the
// announcements point to (/dev/pts/N); each group in natural order.
#include <string>
#include <vector>

namespace zopra::platform {

std::vector<std::string> ListSerialPorts();

// The device name that opens the port of a connection-list text: "\\.\COM12" for "COM12"
// on Windows, the path itself on Linux.
std::string SerialDeviceName(const std::string& listText);

// Natural order: runs of digits compare by value, so ttyS2 comes before ttyS10.
bool NaturalLess(const std::string& left, const std::string& right);

} // namespace zopra::platform
