#pragma once
// Which link the program talks through. The values are the cutter program's own.
#include <cstdint>

namespace zopra {

enum LinkKind : std::int32_t {
    kLinkSerial = 0,      // a serial port through Comm2
    kLinkVendorUsb = 1,   // the vendor USB library
    kLinkPrinterClass = 2 // a USB printer-class device through two handles
};

} // namespace zopra
