#pragma once
// Line rates that termios has no constant for (14400, 56000, 128000, 256000 bit/s), set
// through the kernel's termios2. Kept apart because its header clashes with <termios.h>.
#include <cstdint>

namespace zopra::platform {

// 0 on success, otherwise errno.
[[nodiscard]] int SetCustomSpeed(int fd, uint32_t rate);
// The output rate in bit/s; 0 when it cannot be read.
uint32_t ReadCustomSpeed(int fd);

} // namespace zopra::platform
