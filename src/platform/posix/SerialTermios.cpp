#include "platform/posix/SerialTermios.h"

#include <cerrno>

namespace zopra::platform {

namespace {

struct SpeedEntry {
    uint32_t rate;
    speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {
    {50, B50},       {75, B75},         {110, B110},       {134, B134},       {150, B150},
    {200, B200},     {300, B300},       {600, B600},       {1200, B1200},     {1800, B1800},
    {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},
    {57600, B57600}, {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600},
};

speed_t SpeedCode(uint32_t rate) {
    for (const SpeedEntry& entry : kSpeeds)
        if (entry.rate == rate)
            return entry.code;
    return B0;
}

uint32_t SpeedRate(speed_t code) {
    for (const SpeedEntry& entry : kSpeeds)
        if (entry.code == code)
            return entry.rate;
    return 0;
}

} // namespace

int ControlBlockToTermios(const SerialControlBlock& block, termios& tio, bool& customSpeed) {
    if (block.baudRate == 0)
        return EINVAL;
    termios raw = tio;
    cfmakeraw(&raw);
    // cfmakeraw leaves input parity checking and XOFF sending as they were: the block says.
    raw.c_iflag &= ~(INPCK | IXOFF | IXANY);
    raw.c_cflag |= CLOCAL | CREAD;
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;

    const speed_t code = SpeedCode(block.baudRate);
    customSpeed = code == B0;
    if (!customSpeed) {
        cfsetispeed(&raw, code);
        cfsetospeed(&raw, code);
    }

    raw.c_cflag &= ~CSIZE;
    switch (block.byteSize) {
    case 5:
        raw.c_cflag |= CS5;
        break;
    case 6:
        raw.c_cflag |= CS6;
        break;
    case 7:
        raw.c_cflag |= CS7;
        break;
    case 8:
        raw.c_cflag |= CS8;
        break;
    default:
        return EINVAL; // four data bits: no Linux UART has them
    }

    raw.c_cflag &= ~(PARENB | PARODD | CMSPAR);
    switch (block.parity) {
    case kNoParity:
        break;
    case kOddParity:
        raw.c_cflag |= PARENB | PARODD;
        break;
    case kEvenParity:
        raw.c_cflag |= PARENB;
        break;
    case kMarkParity:
        raw.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case kSpaceParity:
        raw.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return EINVAL;
    }
    if (block.fParity)
        raw.c_iflag |= INPCK;

    // One and a half stop bits: CSTOPB gives them with five data bits, as on Windows.
    switch (block.stopBits) {
    case kOneStopBit:
        raw.c_cflag &= ~CSTOPB;
        break;
    case kOne5StopBits:
    case kTwoStopBits:
        raw.c_cflag |= CSTOPB;
        break;
    default:
        return EINVAL;
    }

    if (block.fOutxCtsFlow || block.fRtsControl == kRtsControlHandshake)
        raw.c_cflag |= CRTSCTS;
    else
        raw.c_cflag &= ~CRTSCTS;
    if (block.fOutX)
        raw.c_iflag |= IXON;
    if (block.fInX)
        raw.c_iflag |= IXOFF;
    raw.c_cc[VSTART] = static_cast<cc_t>(block.xonChar);
    raw.c_cc[VSTOP] = static_cast<cc_t>(block.xoffChar);
    tio = raw;
    return 0;
}

void TermiosToControlBlock(const termios& tio, SerialControlBlock& block) {
    block.fBinary = true;
    block.baudRate = SpeedRate(cfgetospeed(&tio));
    switch (tio.c_cflag & CSIZE) {
    case CS5:
        block.byteSize = 5;
        break;
    case CS6:
        block.byteSize = 6;
        break;
    case CS7:
        block.byteSize = 7;
        break;
    default:
        block.byteSize = 8;
        break;
    }
    if (!(tio.c_cflag & PARENB))
        block.parity = kNoParity;
    else if (tio.c_cflag & CMSPAR)
        block.parity = (tio.c_cflag & PARODD) ? kMarkParity : kSpaceParity;
    else
        block.parity = (tio.c_cflag & PARODD) ? kOddParity : kEvenParity;
    // termios cannot tell one and a half stop bits from two: the block keeps which it was.
    if (!(tio.c_cflag & CSTOPB))
        block.stopBits = kOneStopBit;
    else if (block.stopBits == kOneStopBit)
        block.stopBits = kTwoStopBits;
    block.fParity = (tio.c_iflag & INPCK) != 0;
    block.fOutxCtsFlow = (tio.c_cflag & CRTSCTS) != 0;
    if (block.fOutxCtsFlow)
        block.fRtsControl = kRtsControlHandshake;
    else if (block.fRtsControl == kRtsControlHandshake)
        block.fRtsControl = kRtsControlEnable;
    block.fOutX = (tio.c_iflag & IXON) != 0;
    block.fInX = (tio.c_iflag & IXOFF) != 0;
    block.xonChar = static_cast<char>(tio.c_cc[VSTART]);
    block.xoffChar = static_cast<char>(tio.c_cc[VSTOP]);
}

} // namespace zopra::platform
