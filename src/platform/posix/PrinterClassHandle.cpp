// File descriptors of printer-class devices (/dev/usb/lpN, or the pty of a virtual
// cutter). The descriptor is non-blocking and every wait goes through poll() with a
// time-out, so neither a silent printer nor a full buffer can hold a thread.
#include "platform/PrinterClassDevices.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace zopra::platform {

namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` is ready for `events` or the deadline passes. Returns >0 when ready
// (or when the device reported an error or hang-up, which the next call then shows),
// 0 on time-out, -1 when poll itself failed.
int WaitReady(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd pfd{fd, events, 0};
        int ready = ::poll(&pfd, 1, RemainingMs(deadline));
        if (ready >= 0)
            return ready;
        if (errno != EINTR)
            return -1;
    }
}

} // namespace

// Reads on Linux are taken only when poll() says bytes are there, so no read is ever left
// pending between calls.
struct PrinterHandle::PendingRead {};

void PrinterHandle::PendingReadDeleter::operator()(PendingRead* read) const noexcept {
    delete read;
}

void PrinterHandle::Close() noexcept {
    if (Valid())
        ::close(static_cast<int>(Release()));
}

PrinterHandle PrinterHandle::Duplicate() const {
    if (!Valid())
        return Failed(EBADF);
    const int copy = ::fcntl(static_cast<int>(FNative), F_DUPFD_CLOEXEC, 0);
    return copy < 0 ? Failed(errno) : PrinterHandle(copy);
}

std::ptrdiff_t PrinterHandle::Read(void* buffer, std::size_t capacity,
                                   std::chrono::milliseconds timeout) {
    if (!Valid() || buffer == nullptr)
        return -1;
    if (capacity == 0)
        return 0;
    const int fd = static_cast<int>(FNative);
    const auto deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
    for (;;) {
        int ready = WaitReady(fd, POLLIN, deadline);
        if (ready < 0) {
            FLastError = errno;
            return -1;
        }
        if (ready == 0)
            return 0;
        ssize_t got = ::read(fd, buffer, capacity);
        if (got > 0)
            return got;
        if (got == 0) {
            FLastError = ENODEV; // end of file: the device went away
            return -1;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            FLastError = errno;
            return -1;
        }
        if (RemainingMs(deadline) == 0)
            return 0;
    }
}

std::ptrdiff_t PrinterHandle::Write(const void* bytes, std::size_t count,
                                    std::chrono::milliseconds timeout) {
    if (!Valid() || (bytes == nullptr && count > 0))
        return -1;
    const int fd = static_cast<int>(FNative);
    const auto deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
    const auto* next = static_cast<const unsigned char*>(bytes);
    std::size_t written = 0;
    while (written < count) {
        ssize_t put = ::write(fd, next + written, count - written);
        if (put > 0) {
            written += static_cast<std::size_t>(put);
            continue;
        }
        if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            FLastError = errno;
            break;
        }
        if (WaitReady(fd, POLLOUT, deadline) <= 0)
            break;
    }
    if (written == 0 && count > 0)
        return -1;
    return static_cast<std::ptrdiff_t>(written);
}

} // namespace zopra::platform
