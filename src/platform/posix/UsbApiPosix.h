#pragma once
// The vendor USB library on Linux: the cutter's USB devices (vendor id 0x7a3c) reached
// through libusb-1.0 and numbered from 0 in bus order, then the vendor-library devices
// that virtual-cutter announces (SOCK_SEQPACKET sockets, one message per reply),
// numbered after them.
#include "platform/UsbApi.h"

namespace zopra::platform {

// `withUsbBus` false leaves out the USB bus, so that a test sees only the announced
// devices whatever is plugged into the machine it runs on.
std::unique_ptr<UsbApi> MakePosixUsbApi(bool withUsbBus = true);

} // namespace zopra::platform
