#include "platform/posix/SerialPosixSpeed.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace zopra::platform {

int SetCustomSpeed(int fd, uint32_t rate) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return errno != 0 ? errno : EIO;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    if (ioctl(fd, TCSETS2, &tio) != 0)
        return errno != 0 ? errno : EIO;
    return 0;
}

uint32_t ReadCustomSpeed(int fd) {
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0)
        return 0;
    return tio.c_ospeed;
}

} // namespace zopra::platform
