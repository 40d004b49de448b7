#pragma once
// The device control block in termios terms, both ways, without touching a device.
#include "platform/SerialDriver.h"

#include <termios.h>

namespace zopra::platform {

// Puts the line settings of the block into tio (raw mode, the receiver on, modem-line
// changes ignored). A rate without a termios constant leaves the speed alone and sets
// customSpeed; the caller sets it through termios2. Returns EINVAL for settings no Linux
// line has (four data bits, an unknown parity or stop-bit value, a rate of 0).
[[nodiscard]] int ControlBlockToTermios(const SerialControlBlock& block, termios& tio,
                                        bool& customSpeed);

// Reads the settings termios holds into the block and leaves the other fields as they are;
// the rate is 0 when termios holds no constant for it.
void TermiosToControlBlock(const termios& tio, SerialControlBlock& block);

} // namespace zopra::platform
