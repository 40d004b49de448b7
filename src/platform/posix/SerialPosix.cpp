// The serial driver on Linux: termios on the tty, non-blocking transfers finished with
// poll(), and an event wait built on poll() with a wake-up pipe.
//
// Overlapped transfers are emulated: a start moves what the tty takes or has at once and
// reports the rest as pending; the write is then pushed on by each poll and the read
// finished by one wait, both bounded by the time-outs the component set, as the Windows
// driver bounds them.
#include "platform/SerialDriver.h"
#include "platform/Trace.h"
#include "platform/posix/SerialPosixSpeed.h"
#include "platform/posix/SerialTermios.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <linux/serial.h>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace zopra::platform {

namespace {

using Clock = std::chrono::steady_clock;

// The error of a failed call; never 0, so that a failure never reads as success.
int LastErrno() {
    return errno != 0 ? errno : EIO;
}

// The line counters that tell breaks, line errors and modem-line changes apart; a pty
// has none.
struct LineCounters {
    int cts = 0, dsr = 0, rng = 0, dcd = 0, frame = 0, overrun = 0, parity = 0, brk = 0,
        bufOverrun = 0;
};

bool ReadLineCounters(int fd, LineCounters& counters) {
    serial_icounter_struct icount{};
    if (ioctl(fd, TIOCGICOUNT, &icount) != 0)
        return false;
    counters = {icount.cts,     icount.dsr,    icount.rng, icount.dcd,        icount.frame,
                icount.overrun, icount.parity, icount.brk, icount.buf_overrun};
    return true;
}

class PosixSerialPort final : public SerialPort {
public:
    PosixSerialPort(int fd, int wakeRead, int wakeWrite, bool exclusive)
        : fd_(fd), wakeRead_(wakeRead), wakeWrite_(wakeWrite), exclusive_(exclusive) {
        // A Windows port opens binary, without handshake and with DTR and RTS on; a tty opens
        // cooked with XON/XOFF on. Start from the Windows picture so that the settings the
        // component leaves alone mean the same on both.
        shadow_.fBinary = true;
        shadow_.fDtrControl = kDtrControlEnable;
        shadow_.fRtsControl = kRtsControlEnable;
        shadow_.xonLim = 2048;
        shadow_.xoffLim = 512;
        termios tio{};
        if (!isatty(fd_)) {
            // IsSerialPort refuses it; nothing to set.
        } else if (tcgetattr(fd_, &tio) != 0) {
            TraceFailure("tcgetattr (a new serial port)", LastErrno());
        } else {
            cfmakeraw(&tio);
            tio.c_cflag |= CLOCAL | CREAD;
            tio.c_cc[VMIN] = 0;
            tio.c_cc[VTIME] = 0;
            if (tcsetattr(fd_, TCSANOW, &tio) != 0)
                TraceFailure("tcsetattr (a new serial port, raw)", LastErrno());
        }
        LineCounters counters;
        haveCounters_ = ReadLineCounters(fd_, counters);
        eventBase_ = counters;
        errorBase_ = counters;
    }

    ~PosixSerialPort() override {
        // The kernel keeps a pty's exclusive mode after the last close while its master
        // stays open: the next program to open it would be refused.
        if (exclusive_ && ioctl(fd_, TIOCNXCL) != 0)
            TraceFailure("ioctl TIOCNXCL (closing a serial port)", LastErrno());
        close(fd_);
        close(wakeRead_);
        close(wakeWrite_);
    }

    bool IsSerialPort(int& error) override {
        errno = 0;
        if (isatty(fd_))
            return true;
        error = errno;
        return false;
    }

    int SetEventMask(uint32_t mask) override {
        eventMask_.store(mask);
        return 0;
    }

    // The kernel's queues have fixed sizes.
    int SetupBuffers(uint32_t, uint32_t) override { return 0; }

    int GetState(SerialControlBlock& block) override {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0)
            return LastErrno();
        std::lock_guard guard(stateMutex_);
        block = shadow_;
        TermiosToControlBlock(tio, block);
        if (block.baudRate == 0)
            block.baudRate = ReadCustomSpeed(fd_);
        return 0;
    }

    int SetState(const SerialControlBlock& block) override {
        termios tio{};
        if (tcgetattr(fd_, &tio) != 0)
            return LastErrno();
        bool customSpeed = false;
        if (int error = ControlBlockToTermios(block, tio, customSpeed); error != 0)
            return error;
        if (tcsetattr(fd_, TCSANOW, &tio) != 0)
            return LastErrno();
        if (customSpeed)
            if (int error = SetCustomSpeed(fd_, block.baudRate); error != 0)
                return error;

        // DTR and RTS held as asked. A pty has no modem lines and refuses: that is no
        // failure of the settings.
        int dtr = TIOCM_DTR;
        if (block.fDtrControl == kDtrControlEnable && ioctl(fd_, TIOCMBIS, &dtr) != 0)
            TraceFailure("ioctl TIOCMBIS (DTR on)", LastErrno());
        else if (block.fDtrControl == kDtrControlDisable && ioctl(fd_, TIOCMBIC, &dtr) != 0)
            TraceFailure("ioctl TIOCMBIC (DTR off)", LastErrno());
        int rts = TIOCM_RTS;
        if (block.fRtsControl == kRtsControlEnable && ioctl(fd_, TIOCMBIS, &rts) != 0)
            TraceFailure("ioctl TIOCMBIS (RTS on)", LastErrno());
        else if (block.fRtsControl == kRtsControlDisable && ioctl(fd_, TIOCMBIC, &rts) != 0)
            TraceFailure("ioctl TIOCMBIC (RTS off)", LastErrno());

        std::lock_guard guard(stateMutex_);
        shadow_ = block;
        return 0;
    }

    int SetTimeouts(const SerialTimeouts& timeouts) override {
        std::lock_guard guard(stateMutex_);
        timeouts_ = timeouts;
        return 0;
    }

    SerialIoResult StartWrite(const void* buffer, uint32_t count) override {
        SerialTimeouts timeouts = Timeouts();
        const uint64_t total = uint64_t{timeouts.writeTotalTimeoutMultiplier} * count +
                               timeouts.writeTotalTimeoutConstant;
        writeBounded_ = total != 0;
        writeDeadline_ = Clock::now() + std::chrono::milliseconds(total);
        writeBuffer_ = static_cast<const uint8_t*>(buffer);
        writeCount_ = count;
        writeDone_ = 0;
        txAbort_.store(false);
        writing_.store(true);
        txPending_.store(true);
        SerialIoResult result = PushWrite();
        if (result.state == SerialIo::Incomplete)
            result.state = SerialIo::Pending;
        return result;
    }

    SerialIoResult WaitWrite(std::chrono::milliseconds bound) override {
        // Sleeps in poll() until there is room in the output queue, never spins.
        const auto end = Clock::now() + bound;
        for (;;) {
            SerialIoResult result = PushWrite();
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (result.state != SerialIo::Incomplete || left <= 0)
                return result;
            pollfd pfd{fd_, POLLOUT, 0};
            poll(&pfd, 1, static_cast<int>(std::min<long long>(left, 100)));
        }
    }

    uint32_t CancelWrite() override {
        writeCount_ = writeDone_;
        writing_.store(false);
        return writeDone_;
    }

    SerialIoResult StartRead(void* buffer, uint32_t count) override {
        SerialTimeouts timeouts = Timeouts();
        uint64_t total = 0;
        if (!(timeouts.readIntervalTimeout == 0xFFFFFFFF &&
              timeouts.readTotalTimeoutMultiplier == 0xFFFFFFFF))
            total = uint64_t{timeouts.readTotalTimeoutMultiplier} * count;
        total += timeouts.readTotalTimeoutConstant;
        readDeadline_ = Clock::now() + std::chrono::milliseconds(total);
        readBuffer_ = static_cast<uint8_t*>(buffer);
        readCount_ = count;
        readDone_ = 0;
        rxAbort_.store(false);
        SerialIoResult result = PullRead();
        if (result.state != SerialIo::Incomplete)
            return result;
        if (total == 0 || (FirstByteEnds(timeouts) && readDone_ > 0))
            return {SerialIo::Done, readDone_, 0};
        return {SerialIo::Pending, readDone_, 0};
    }

    SerialIoResult WaitRead() override {
        const SerialTimeouts timeouts = Timeouts();
        for (;;) {
            if (rxAbort_.load())
                return {SerialIo::Failed, readDone_, ECANCELED};
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(readDeadline_ - Clock::now());
            if (left.count() <= 0)
                return {SerialIo::Done, readDone_, 0};
            // Slices, so that a purge from another thread ends the wait soon.
            pollfd pfd{fd_, POLLIN, 0};
            const int ready = poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left.count(), 50)));
            if (ready < 0 && errno != EINTR)
                return {SerialIo::Failed, readDone_, LastErrno()};
            if (ready <= 0)
                continue;
            if (!(pfd.revents & POLLIN) && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
                return {SerialIo::Failed, readDone_, EIO};
            SerialIoResult result = PullRead();
            if (result.state != SerialIo::Incomplete)
                return result;
            if (FirstByteEnds(timeouts) && readDone_ > 0)
                return {SerialIo::Done, readDone_, 0};
        }
    }

    int ClearError(uint32_t& errors, SerialComStat& status) override {
        int inQueue = 0;
        int outQueue = 0;
        if (ioctl(fd_, FIONREAD, &inQueue) != 0 || ioctl(fd_, TIOCOUTQ, &outQueue) != 0)
            return LastErrno();
        // A tty that has hung up (its USB adapter pulled, a pty whose other side closed)
        // still answers these with an empty queue; only poll() tells. What it received
        // before is still read first.
        if (inQueue == 0) {
            pollfd pfd{fd_, POLLIN, 0};
            if (poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL)))
                return EIO;
        }
        status = SerialComStat{};
        status.cbInQue = static_cast<uint32_t>(std::max(0, inQueue));
        status.cbOutQue = static_cast<uint32_t>(std::max(0, outQueue));
        int lines = 0;
        termios tio{};
        if (ioctl(fd_, TIOCMGET, &lines) != 0) {
            // A pty has no modem lines: CTS never holds the output there. Traced once per
            // port, since this runs on every pass of the receive thread.
            if (!modemReadTraced_.exchange(true))
                TraceFailure("ioctl TIOCMGET (CTS hold; not traced again for this port)",
                             LastErrno());
        } else if (tcgetattr(fd_, &tio) != 0)
            TraceFailure("tcgetattr (CTS hold)", LastErrno());
        else
            status.fCtsHold = (tio.c_cflag & CRTSCTS) && !(lines & TIOCM_CTS);
        errors = 0;
        LineCounters now;
        if (haveCounters_ && ReadLineCounters(fd_, now)) {
            std::lock_guard guard(stateMutex_);
            if (now.bufOverrun != errorBase_.bufOverrun)
                errors |= kCeRxOver;
            if (now.overrun != errorBase_.overrun)
                errors |= kCeOverrun;
            if (now.parity != errorBase_.parity)
                errors |= kCeRxParity;
            if (now.frame != errorBase_.frame)
                errors |= kCeFrame;
            if (now.brk != errorBase_.brk)
                errors |= kCeBreak;
            errorBase_ = now;
        }
        return 0;
    }

    int Purge(uint32_t flags) override {
        const bool tx = flags & (kPurgeTxAbort | kPurgeTxClear);
        const bool rx = flags & (kPurgeRxAbort | kPurgeRxClear);
        if (flags & kPurgeTxAbort)
            txAbort_.store(true);
        if (flags & kPurgeRxAbort)
            rxAbort_.store(true);
        if (!tx && !rx)
            return 0;
        if (tcflush(fd_, tx && rx ? TCIOFLUSH : tx ? TCOFLUSH : TCIFLUSH) != 0)
            return LastErrno();
        return 0;
    }

    int Escape(uint32_t function) override {
        int bits = 0;
        int result = 0;
        switch (function) {
        case kSetXoff:
            result = tcflow(fd_, TCOOFF);
            break;
        case kSetXon:
            result = tcflow(fd_, TCOON);
            break;
        case kSetRts:
        case kClrRts:
            bits = TIOCM_RTS;
            result = ioctl(fd_, function == kSetRts ? TIOCMBIS : TIOCMBIC, &bits);
            break;
        case kSetDtr:
        case kClrDtr:
            bits = TIOCM_DTR;
            result = ioctl(fd_, function == kSetDtr ? TIOCMBIS : TIOCMBIC, &bits);
            break;
        case kSetBreak:
            result = ioctl(fd_, TIOCSBRK);
            break;
        case kClrBreak:
            result = ioctl(fd_, TIOCCBRK);
            break;
        default:
            return EINVAL; // no reset of the device, nor any other function, on a tty
        }
        return result != 0 ? LastErrno() : 0;
    }

    int GetModemStatus(uint32_t& status) override {
        int lines = 0;
        if (ioctl(fd_, TIOCMGET, &lines) != 0)
            return LastErrno();
        status = 0;
        if (lines & TIOCM_CTS)
            status |= kMsCtsOn;
        if (lines & TIOCM_DSR)
            status |= kMsDsrOn;
        if (lines & TIOCM_RNG)
            status |= kMsRingOn;
        if (lines & TIOCM_CAR)
            status |= kMsRlsdOn;
        return 0;
    }

    SerialWaitResult WaitEvent() override {
        for (;;) {
            const uint32_t mask = eventMask_.load();
            uint32_t found = 0;

            // A character arrived: the queue grew since the last look. While bytes wait
            // unread, poll() would report the tty readable without pause, so the queue is
            // then watched by ticks instead.
            int inQueue = 0;
            if (ioctl(fd_, FIONREAD, &inQueue) == 0) {
                if (inQueue > lastInQueue_)
                    found |= kEvRxChar;
                lastInQueue_ = inQueue;
            }

            // The output went empty after a write.
            int outQueue = 0;
            if (txPending_.load() && !writing_.load() && ioctl(fd_, TIOCOUTQ, &outQueue) == 0 &&
                outQueue == 0) {
                txPending_.store(false);
                found |= kEvTxEmpty;
            }

            LineCounters now;
            if (haveCounters_ && ReadLineCounters(fd_, now)) {
                if (now.cts != eventBase_.cts)
                    found |= kEvCts;
                if (now.dsr != eventBase_.dsr)
                    found |= kEvDsr;
                if (now.dcd != eventBase_.dcd)
                    found |= kEvRlsd;
                if (now.rng != eventBase_.rng)
                    found |= kEvRing;
                if (now.brk != eventBase_.brk)
                    found |= kEvBreak;
                if (now.frame != eventBase_.frame || now.overrun != eventBase_.overrun ||
                    now.parity != eventBase_.parity || now.bufOverrun != eventBase_.bufOverrun)
                    found |= kEvErr;
                eventBase_ = now;
            }

            if ((found & mask) != 0)
                return {SerialWait::Event, found & mask, 0};

            const bool tick = inQueue > 0 || txPending_.load() || haveCounters_;
            pollfd fds[2] = {{wakeRead_, POLLIN, 0},
                             {fd_, static_cast<short>(inQueue > 0 ? 0 : POLLIN), 0}};
            const int ready = poll(fds, 2, tick ? kTickMs : -1);
            if (ready < 0) {
                if (errno == EINTR)
                    continue;
                return {SerialWait::Failed, 0, LastErrno()};
            }
            if (fds[0].revents != 0)
                return {SerialWait::Woken, 0, 0};
            if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                // The other end is gone (a pty whose cutter ended): poll() would say so at
                // once again, readable or not, so the wait fails and the caller rests.
                return {SerialWait::Failed, 0, EIO};
        }
    }

    void WakeEventWait() override {
        const char byte = 1;
        // The byte stays in the pipe: every later wait ends at once too.
        [[maybe_unused]] ssize_t written = write(wakeWrite_, &byte, 1);
    }

private:
    static constexpr int kTickMs = 20;

    static bool FirstByteEnds(const SerialTimeouts& timeouts) {
        return timeouts.readIntervalTimeout == 0xFFFFFFFF &&
               timeouts.readTotalTimeoutMultiplier == 0xFFFFFFFF;
    }

    SerialTimeouts Timeouts() {
        std::lock_guard guard(stateMutex_);
        return timeouts_;
    }

    SerialIoResult PushWrite() {
        while (writeDone_ < writeCount_) {
            if (txAbort_.load()) {
                writing_.store(false);
                return {SerialIo::Failed, writeDone_, ECANCELED};
            }
            const ssize_t moved = write(fd_, writeBuffer_ + writeDone_, writeCount_ - writeDone_);
            if (moved > 0) {
                writeDone_ += static_cast<uint32_t>(moved);
            } else if (moved < 0 && errno == EINTR) {
                continue;
            } else if (moved < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (writeBounded_ && Clock::now() >= writeDeadline_)
                    break; // the write time-out ends it with fewer bytes, as on Windows
                return {SerialIo::Incomplete, writeDone_, 0};
            } else {
                const int error = moved < 0 ? LastErrno() : EIO;
                writing_.store(false);
                return {SerialIo::Failed, writeDone_, error};
            }
        }
        writing_.store(false);
        return {SerialIo::Done, writeDone_, 0};
    }

    SerialIoResult PullRead() {
        while (readDone_ < readCount_) {
            const ssize_t moved = read(fd_, readBuffer_ + readDone_, readCount_ - readDone_);
            if (moved > 0) {
                readDone_ += static_cast<uint32_t>(moved);
            } else if (moved < 0 && errno == EINTR) {
                continue;
            } else if (moved < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return {SerialIo::Incomplete, readDone_, 0};
            } else if (moved == 0) {
                return {SerialIo::Done, readDone_, 0}; // end of file: nothing more comes
            } else {
                return {SerialIo::Failed, readDone_, LastErrno()};
            }
        }
        return {SerialIo::Done, readDone_, 0};
    }

    const int fd_;
    const int wakeRead_;
    const int wakeWrite_;
    const bool exclusive_; // this port set TIOCEXCL and clears it when it closes

    std::mutex stateMutex_; // guards shadow_, timeouts_ and errorBase_
    SerialControlBlock shadow_;
    SerialTimeouts timeouts_;
    LineCounters errorBase_;

    bool haveCounters_ = false;
    std::atomic<uint32_t> eventMask_{0};
    std::atomic<bool> txPending_{false};
    std::atomic<bool> writing_{false};
    std::atomic<bool> txAbort_{false};
    std::atomic<bool> modemReadTraced_{false};
    std::atomic<bool> rxAbort_{false};

    // The write under way (the writer's own, kept one at a time by the component's lock).
    const uint8_t* writeBuffer_ = nullptr;
    uint32_t writeCount_ = 0;
    uint32_t writeDone_ = 0;
    bool writeBounded_ = false;
    Clock::time_point writeDeadline_;

    // The read under way.
    uint8_t* readBuffer_ = nullptr;
    uint32_t readCount_ = 0;
    uint32_t readDone_ = 0;
    Clock::time_point readDeadline_;

    // The event thread's own.
    int lastInQueue_ = 0;
    LineCounters eventBase_;
};

class PosixSerialDriver final : public SerialDriver {
public:
    std::shared_ptr<SerialPort> Open(const std::string& deviceName, int& error) override {
        const int fd = open(deviceName.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = LastErrno();
            return nullptr;
        }
        // Exclusive use, as Windows opens a port without sharing: the lock keeps out the
        // programs that take it (a second zopra), TIOCEXCL every other open but root's (a
        // terminal program, a modem prober), which would take the cutter's replies.
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            error = errno == EWOULDBLOCK ? EBUSY : LastErrno();
            close(fd);
            return nullptr;
        }
        int wake[2];
        if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) != 0) {
            error = LastErrno();
            close(fd);
            return nullptr;
        }
        // A port that another program (run by root) made exclusive stays so when it closes.
        int wasExclusive = 0;
        if (ioctl(fd, TIOCGEXCL, &wasExclusive) != 0)
            TraceFailure("ioctl TIOCGEXCL (opening a serial port)", LastErrno());
        const bool exclusive = wasExclusive == 0 && ioctl(fd, TIOCEXCL) == 0;
        if (wasExclusive == 0 && !exclusive)
            TraceFailure("ioctl TIOCEXCL (opening a serial port)", LastErrno());
        return std::make_shared<PosixSerialPort>(fd, wake[0], wake[1], exclusive);
    }
};

} // namespace

std::shared_ptr<SerialDriver> SystemSerialDriver() {
    return std::make_shared<PosixSerialDriver>();
}

} // namespace zopra::platform
