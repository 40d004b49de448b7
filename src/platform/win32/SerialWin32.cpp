// The serial driver on Windows: the communications calls on a handle opened for overlapped
// I/O, one OVERLAPPED record with its own event for each direction and one for the event
// wait.
#include "platform/SerialDriver.h"
#include "platform/Trace.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>

namespace zopra::platform {

namespace {

// The error of a failed call; never 0, so that a failure never reads as success.
// Cancels an operation and waits until the system has let go of its record; returns the
// bytes it moved. A cancel that finds the operation already ended, and the abort that the
// wait then reports, are the normal course; any other failure is traced.
DWORD CancelAndWait(HANDLE handle, OVERLAPPED* overlapped, const char* what) {
    if (!CancelIoEx(handle, overlapped) && GetLastError() != ERROR_NOT_FOUND)
        TraceFailure(std::string("CancelIoEx (") + what + ")", static_cast<int>(GetLastError()));
    DWORD moved = 0;
    if (!GetOverlappedResult(handle, overlapped, &moved, TRUE) &&
        GetLastError() != ERROR_OPERATION_ABORTED)
        TraceFailure(std::string("GetOverlappedResult (") + what + ")",
                     static_cast<int>(GetLastError()));
    return moved;
}

int FailureCode() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : static_cast<int>(ERROR_GEN_FAILURE);
}

// A manual-reset event, not signalled, closed with its owner.
class Event {
public:
    Event() : handle_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_ != nullptr)
            CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// An OVERLAPPED record at offset 0 with its own event.
class Request {
public:
    Request() {
        ZeroMemory(&overlapped_, sizeof overlapped_);
        overlapped_.hEvent = event_.Get();
    }
    OVERLAPPED* Get() { return &overlapped_; }
    bool Ready() const { return event_.Get() != nullptr; }

private:
    Event event_;
    OVERLAPPED overlapped_;
};

class Win32SerialPort final : public SerialPort {
public:
    explicit Win32SerialPort(HANDLE handle) : handle_(handle) {}
    ~Win32SerialPort() override { CloseHandle(handle_); }

    bool IsSerialPort(int& error) override {
        // Asked of the driver itself: several USB-serial and virtual COM drivers report
        // their handles as FILE_TYPE_UNKNOWN, while a disk file or a pipe has no
        // communications properties at all.
        COMMPROP properties;
        ZeroMemory(&properties, sizeof properties);
        if (GetCommProperties(handle_, &properties))
            return true;
        error = FailureCode();
        return false;
    }

    // False when one of the events the requests wait on could not be made: a request
    // without its event would make GetOverlappedResult wait on the file handle.
    bool Ready() const { return write_.Ready() && read_.Ready() && event_.Ready() && wake_.Get(); }

    int SetEventMask(uint32_t mask) override {
        return SetCommMask(handle_, mask) ? 0 : FailureCode();
    }

    int SetupBuffers(uint32_t inQueue, uint32_t outQueue) override {
        return SetupComm(handle_, inQueue, outQueue) ? 0 : FailureCode();
    }

    int GetState(SerialControlBlock& block) override {
        DCB dcb;
        ZeroMemory(&dcb, sizeof dcb);
        dcb.DCBlength = sizeof dcb;
        if (!GetCommState(handle_, &dcb))
            return FailureCode();
        block.baudRate = dcb.BaudRate;
        block.fBinary = dcb.fBinary;
        block.fParity = dcb.fParity;
        block.fOutxCtsFlow = dcb.fOutxCtsFlow;
        block.fOutxDsrFlow = dcb.fOutxDsrFlow;
        block.fDtrControl = static_cast<uint8_t>(dcb.fDtrControl);
        block.fDsrSensitivity = dcb.fDsrSensitivity;
        block.fTXContinueOnXoff = dcb.fTXContinueOnXoff;
        block.fOutX = dcb.fOutX;
        block.fInX = dcb.fInX;
        block.fErrorChar = dcb.fErrorChar;
        block.fNull = dcb.fNull;
        block.fRtsControl = static_cast<uint8_t>(dcb.fRtsControl);
        block.fAbortOnError = dcb.fAbortOnError;
        block.xonLim = dcb.XonLim;
        block.xoffLim = dcb.XoffLim;
        block.byteSize = dcb.ByteSize;
        block.parity = dcb.Parity;
        block.stopBits = dcb.StopBits;
        block.xonChar = dcb.XonChar;
        block.xoffChar = dcb.XoffChar;
        block.errorChar = dcb.ErrorChar;
        block.eofChar = dcb.EofChar;
        block.evtChar = dcb.EvtChar;
        return 0;
    }

    int SetState(const SerialControlBlock& block) override {
        DCB dcb;
        ZeroMemory(&dcb, sizeof dcb);
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = block.baudRate;
        dcb.fBinary = block.fBinary;
        dcb.fParity = block.fParity;
        dcb.fOutxCtsFlow = block.fOutxCtsFlow;
        dcb.fOutxDsrFlow = block.fOutxDsrFlow;
        dcb.fDtrControl = block.fDtrControl;
        dcb.fDsrSensitivity = block.fDsrSensitivity;
        dcb.fTXContinueOnXoff = block.fTXContinueOnXoff;
        dcb.fOutX = block.fOutX;
        dcb.fInX = block.fInX;
        dcb.fErrorChar = block.fErrorChar;
        dcb.fNull = block.fNull;
        dcb.fRtsControl = block.fRtsControl;
        dcb.fAbortOnError = block.fAbortOnError;
        dcb.XonLim = block.xonLim;
        dcb.XoffLim = block.xoffLim;
        dcb.ByteSize = block.byteSize;
        dcb.Parity = block.parity;
        dcb.StopBits = block.stopBits;
        dcb.XonChar = block.xonChar;
        dcb.XoffChar = block.xoffChar;
        dcb.ErrorChar = block.errorChar;
        dcb.EofChar = block.eofChar;
        dcb.EvtChar = block.evtChar;
        return SetCommState(handle_, &dcb) ? 0 : FailureCode();
    }

    int SetTimeouts(const SerialTimeouts& timeouts) override {
        COMMTIMEOUTS t;
        t.ReadIntervalTimeout = timeouts.readIntervalTimeout;
        t.ReadTotalTimeoutMultiplier = timeouts.readTotalTimeoutMultiplier;
        t.ReadTotalTimeoutConstant = timeouts.readTotalTimeoutConstant;
        t.WriteTotalTimeoutMultiplier = timeouts.writeTotalTimeoutMultiplier;
        t.WriteTotalTimeoutConstant = timeouts.writeTotalTimeoutConstant;
        return SetCommTimeouts(handle_, &t) ? 0 : FailureCode();
    }

    SerialIoResult StartWrite(const void* buffer, uint32_t count) override {
        DWORD written = 0;
        if (WriteFile(handle_, buffer, count, &written, write_.Get()))
            return {SerialIo::Done, written, 0};
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING)
            return {SerialIo::Pending, 0, 0};
        return {SerialIo::Failed, 0, error != 0 ? static_cast<int>(error) : FailureCode()};
    }

    SerialIoResult WaitWrite(std::chrono::milliseconds bound) override {
        // On the request's event, with the bound: GetOverlappedResult alone would either
        // spin (not waiting) or wait without end.
        const auto wait = static_cast<DWORD>(std::clamp<long long>(bound.count(), 0, 0x7ffffffe));
        const DWORD waited = WaitForSingleObject(write_.Get()->hEvent, wait);
        if (waited == WAIT_TIMEOUT)
            return {SerialIo::Incomplete, 0, 0};
        if (waited != WAIT_OBJECT_0)
            return {SerialIo::Failed, 0, FailureCode()};
        DWORD written = 0;
        if (GetOverlappedResult(handle_, write_.Get(), &written, FALSE))
            return {SerialIo::Done, written, 0};
        return {SerialIo::Failed, written, FailureCode()};
    }

    uint32_t CancelWrite() override {
        // Waits until the system has let go of the record, whether the cancel or the write
        // itself ended it.
        return CancelAndWait(handle_, write_.Get(), "a write past its bound");
    }

    SerialIoResult StartRead(void* buffer, uint32_t count) override {
        DWORD read = 0;
        if (ReadFile(handle_, buffer, count, &read, read_.Get()))
            return {SerialIo::Done, read, 0};
        const DWORD error = GetLastError();
        if (error == ERROR_IO_PENDING)
            return {SerialIo::Pending, 0, 0};
        return {SerialIo::Failed, 0, error != 0 ? static_cast<int>(error) : FailureCode()};
    }

    SerialIoResult WaitRead() override {
        DWORD read = 0;
        if (GetOverlappedResult(handle_, read_.Get(), &read, TRUE))
            return {SerialIo::Done, read, 0};
        const DWORD error = GetLastError();
        if (error == ERROR_IO_INCOMPLETE)
            return {SerialIo::Incomplete, read, 0};
        return {SerialIo::Failed, read, static_cast<int>(error)};
    }

    int ClearError(uint32_t& errors, SerialComStat& status) override {
        DWORD flags = 0;
        COMSTAT stat;
        ZeroMemory(&stat, sizeof stat);
        if (!ClearCommError(handle_, &flags, &stat))
            return FailureCode();
        errors = flags;
        status.fCtsHold = stat.fCtsHold;
        status.fDsrHold = stat.fDsrHold;
        status.fRlsdHold = stat.fRlsdHold;
        status.fXoffHold = stat.fXoffHold;
        status.fXoffSent = stat.fXoffSent;
        status.fEof = stat.fEof;
        status.fTxim = stat.fTxim;
        status.cbInQue = stat.cbInQue;
        status.cbOutQue = stat.cbOutQue;
        return 0;
    }

    int Purge(uint32_t flags) override { return PurgeComm(handle_, flags) ? 0 : FailureCode(); }

    int Escape(uint32_t function) override {
        return EscapeCommFunction(handle_, function) ? 0 : FailureCode();
    }

    int GetModemStatus(uint32_t& status) override {
        DWORD lines = 0;
        if (!GetCommModemStatus(handle_, &lines))
            return FailureCode();
        status = lines;
        return 0;
    }

    SerialWaitResult WaitEvent() override {
        if (WaitForSingleObject(wake_.Get(), 0) == WAIT_OBJECT_0)
            return {SerialWait::Woken, 0, 0};
        DWORD mask = 0;
        if (WaitCommEvent(handle_, &mask, event_.Get()))
            return {SerialWait::Event, mask, 0};
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING)
            return {SerialWait::Failed, 0, error != 0 ? static_cast<int>(error) : FailureCode()};
        const HANDLE handles[2] = {event_.Get()->hEvent, wake_.Get()};
        const DWORD which = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        DWORD ignored = 0;
        if (which == WAIT_OBJECT_0) {
            if (GetOverlappedResult(handle_, event_.Get(), &ignored, FALSE))
                return {SerialWait::Event, mask, 0};
            return {SerialWait::Failed, 0, FailureCode()};
        }
        // Woken (or the wait itself failed): the pending wait is cancelled and ended before
        // its record and mask go out of scope.
        const int error2 = which == WAIT_OBJECT_0 + 1 ? 0 : FailureCode();
        CancelAndWait(handle_, event_.Get(), "the event wait");
        if (error2 != 0)
            return {SerialWait::Failed, 0, error2};
        return {SerialWait::Woken, 0, 0};
    }

    void WakeEventWait() override { SetEvent(wake_.Get()); }

private:
    HANDLE handle_;
    Request write_;
    Request read_;
    Request event_;
    Event wake_;
};

class Win32SerialDriver final : public SerialDriver {
public:
    std::shared_ptr<SerialPort> Open(const std::string& deviceName, int& error) override {
        const HANDLE handle =
            CreateFileA(deviceName.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                        FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = FailureCode();
            return nullptr;
        }
        auto port = std::make_shared<Win32SerialPort>(handle);
        if (!port->Ready()) {
            error = FailureCode();
            return nullptr; // the port closes the handle
        }
        return port;
    }
};

} // namespace

std::shared_ptr<SerialDriver> SystemSerialDriver() {
    return std::make_shared<Win32SerialDriver>();
}

} // namespace zopra::platform
