#pragma once
// The serial-port service: open a port by name and drive it. The serial component in
// link/ holds all the behaviour (states, errors, the lock, the event hand-over) and talks
// only to this interface; posix/ implements it with termios and poll(), win32/ with the
// Windows communications calls, and the unit tests with a recording fake.
//
// The vocabulary is that of the Windows communications interface (event bits, modem status
// bits, purge flags, escape codes, a device control block, COMSTAT), because that is what
// the component computes and what its users see. The numbers are plain constants here; no
// Windows type appears above platform/.
//
// Every call that can fail returns an error code: 0 for success, otherwise the system's
// error number (GetLastError on Windows, errno on Linux), never 0 on failure.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace zopra::platform {

// Comm event bits (the event mask of a port).
inline constexpr uint32_t kEvRxChar = 0x0001;
inline constexpr uint32_t kEvRxFlag = 0x0002;
inline constexpr uint32_t kEvTxEmpty = 0x0004;
inline constexpr uint32_t kEvCts = 0x0008;
inline constexpr uint32_t kEvDsr = 0x0010;
inline constexpr uint32_t kEvRlsd = 0x0020;
inline constexpr uint32_t kEvBreak = 0x0040;
inline constexpr uint32_t kEvErr = 0x0080;
inline constexpr uint32_t kEvRing = 0x0100;
inline constexpr uint32_t kEvAll = 0x01FF;

// Modem status bits.
inline constexpr uint32_t kMsCtsOn = 0x0010;
inline constexpr uint32_t kMsDsrOn = 0x0020;
inline constexpr uint32_t kMsRingOn = 0x0040;
inline constexpr uint32_t kMsRlsdOn = 0x0080;

// Line error bits as ClearError reports them.
inline constexpr uint32_t kCeRxOver = 0x0001;
inline constexpr uint32_t kCeOverrun = 0x0002;
inline constexpr uint32_t kCeRxParity = 0x0004;
inline constexpr uint32_t kCeFrame = 0x0008;
inline constexpr uint32_t kCeBreak = 0x0010;

// Purge flags.
inline constexpr uint32_t kPurgeTxAbort = 0x0001;
inline constexpr uint32_t kPurgeRxAbort = 0x0002;
inline constexpr uint32_t kPurgeTxClear = 0x0004;
inline constexpr uint32_t kPurgeRxClear = 0x0008;

// Escape function codes.
inline constexpr uint32_t kSetXoff = 1;
inline constexpr uint32_t kSetXon = 2;
inline constexpr uint32_t kSetRts = 3;
inline constexpr uint32_t kClrRts = 4;
inline constexpr uint32_t kSetDtr = 5;
inline constexpr uint32_t kClrDtr = 6;
inline constexpr uint32_t kResetDev = 7;
inline constexpr uint32_t kSetBreak = 8;
inline constexpr uint32_t kClrBreak = 9;

// Values of the control block's parity, stop bits, DTR and RTS fields.
inline constexpr uint8_t kNoParity = 0, kOddParity = 1, kEvenParity = 2, kMarkParity = 3,
                         kSpaceParity = 4;
inline constexpr uint8_t kOneStopBit = 0, kOne5StopBits = 1, kTwoStopBits = 2;
inline constexpr uint8_t kDtrControlDisable = 0, kDtrControlEnable = 1, kDtrControlHandshake = 2;
inline constexpr uint8_t kRtsControlDisable = 0, kRtsControlEnable = 1, kRtsControlHandshake = 2,
                         kRtsControlToggle = 3;

// Error numbers the component itself needs to recognise or report.
inline constexpr int kErrorFileNotFound = 2; // ENOENT has the same number

// The port's line settings: the fields of a Windows device control block, one to one.
struct SerialControlBlock {
    uint32_t baudRate = 0;
    bool fBinary = false;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    uint8_t fDtrControl = 0;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    uint8_t fRtsControl = 0;
    bool fAbortOnError = false;
    uint16_t xonLim = 0;
    uint16_t xoffLim = 0;
    uint8_t byteSize = 0;
    uint8_t parity = 0;
    uint8_t stopBits = 0;
    char xonChar = 0;
    char xoffChar = 0;
    char errorChar = 0;
    char eofChar = 0;
    char evtChar = 0;

    bool operator==(const SerialControlBlock&) const = default;
};

// Read and write time-outs in milliseconds, as COMMTIMEOUTS holds them.
struct SerialTimeouts {
    uint32_t readIntervalTimeout = 0;
    uint32_t readTotalTimeoutMultiplier = 0;
    uint32_t readTotalTimeoutConstant = 0;
    uint32_t writeTotalTimeoutMultiplier = 0;
    uint32_t writeTotalTimeoutConstant = 0;

    bool operator==(const SerialTimeouts&) const = default;
};

// The port's status as COMSTAT holds it.
struct SerialComStat {
    bool fCtsHold = false;
    bool fDsrHold = false;
    bool fRlsdHold = false;
    bool fXoffHold = false;
    bool fXoffSent = false;
    bool fEof = false;
    bool fTxim = false;
    uint32_t cbInQue = 0;
    uint32_t cbOutQue = 0;

    bool operator==(const SerialComStat&) const = default;
};

// The state of one overlapped transfer.
enum class SerialIo {
    Done,       // finished; count holds the bytes moved
    Pending,    // a started request is under way (start calls only)
    Incomplete, // a polled request is still under way (poll calls only)
    Failed,     // error holds the reason, count the bytes moved before it
};

struct SerialIoResult {
    SerialIo state = SerialIo::Failed;
    uint32_t count = 0;
    int error = 0;
};

// What one wait for comm events ended with.
enum class SerialWait {
    Event,  // mask holds the events that happened (it may be 0)
    Woken,  // WakeEventWait was called
    Failed, // error holds the reason; waiting again at once would fail again
};

struct SerialWaitResult {
    SerialWait state = SerialWait::Failed;
    uint32_t mask = 0;
    int error = 0;
};

// One open port. The handle is closed when the object is destroyed.
//
// Threads: one write (StartWrite..WaitWrite/CancelWrite) and one read (StartRead..WaitRead)
// at a time, which the component's lock guarantees; the event wait runs on its own thread,
// and WakeEventWait, ClearError, GetModemStatus and Purge may be called from any thread.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // True when the handle is a character device; otherwise error is the system's last
    // error code, which may be 0.
    [[nodiscard]] virtual bool IsSerialPort(int& error) = 0;

    [[nodiscard]] virtual int SetEventMask(uint32_t mask) = 0;
    [[nodiscard]] virtual int SetupBuffers(uint32_t inQueue, uint32_t outQueue) = 0;
    [[nodiscard]] virtual int GetState(SerialControlBlock& block) = 0;
    [[nodiscard]] virtual int SetState(const SerialControlBlock& block) = 0;
    [[nodiscard]] virtual int SetTimeouts(const SerialTimeouts& timeouts) = 0;

    // A write: start it, then wait for a Pending one at most `bound` (Incomplete when it is
    // still under way then). CancelWrite ends a write that is still under way and waits
    // until the system has let go of the request; it returns the bytes that were written.
    [[nodiscard]] virtual SerialIoResult StartWrite(const void* buffer, uint32_t count) = 0;
    [[nodiscard]] virtual SerialIoResult WaitWrite(std::chrono::milliseconds bound) = 0;
    [[nodiscard]] virtual uint32_t CancelWrite() = 0;

    // A read: start it, then wait for a Pending one (bounded by the read time-outs).
    [[nodiscard]] virtual SerialIoResult StartRead(void* buffer, uint32_t count) = 0;
    [[nodiscard]] virtual SerialIoResult WaitRead() = 0;

    [[nodiscard]] virtual int ClearError(uint32_t& errors, SerialComStat& status) = 0;
    [[nodiscard]] virtual int Purge(uint32_t flags) = 0;
    [[nodiscard]] virtual int Escape(uint32_t function) = 0;
    [[nodiscard]] virtual int GetModemStatus(uint32_t& status) = 0;

    // Waits for one of the events of the mask set last; returns Woken at once, now and for
    // every later wait, once WakeEventWait has been called.
    [[nodiscard]] virtual SerialWaitResult WaitEvent() = 0;
    virtual void WakeEventWait() = 0;
};

class SerialDriver {
public:
    virtual ~SerialDriver() = default;

    // Opens the named port for exclusive use with overlapped transfers. On failure the
    // result is empty and error holds the reason (2 for a port that does not exist).
    [[nodiscard]] virtual std::shared_ptr<SerialPort> Open(const std::string& deviceName,
                                                           int& error) = 0;
};

// The driver of the operating system the program runs on.
[[nodiscard]] std::shared_ptr<SerialDriver> SystemSerialDriver();

} // namespace zopra::platform
