#pragma once
// The serial port component: one port opened for overlapped transfers, its line settings,
// a lock that keeps the writer and the reader apart, and an event thread that waits for
// comm events and hands each one to the interface thread.
//
// TThreadComm holds the behaviour, TComm only publishes it. The calls that differ per
// operating system go through platform::SerialDriver.
#include "platform/SerialDriver.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zopra {

// The component's one error type; the message ends in "(Error: N)".
class ECommError : public std::runtime_error {
public:
    ECommError(const std::string& message, int code) : std::runtime_error(message), code_(code) {}
    int Code() const { return code_; }

private:
    int code_;
};

// Raises ECommError with every "%d" of the message replaced by the code in decimal.
[[noreturn]] void RaiseCommError(const std::string& message, int code);

enum TBaudRate : uint8_t {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TParity : uint8_t { paNone, paOdd, paEven, paMark, paSpace };
enum TStopBits : uint8_t { sb10, sb15, sb20 };
enum TDataBits : uint8_t { da4, da5, da6, da7, da8 };
enum TFlowControl : uint8_t { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption : uint8_t {
    coParityCheck,
    coDsrSensitivity,
    coIgnoreXOff,
    coErrorChar,
    coNullStrip
};
enum TCommEventType : uint8_t {
    evBreak,
    evCts,
    evDsr,
    evError,
    evRing,
    evRlsd,
    evRxChar,
    evRxFlag,
    evTxEmpty
};

// A set of enumeration values, one bit per ordinal, bit 0 first.
template <typename E, typename Bits> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values) {
        for (E value : values)
            bits_ = static_cast<Bits>(bits_ | Bit(value));
    }
    static constexpr TEnumSet FromBits(Bits bits) {
        TEnumSet set;
        set.bits_ = bits;
        return set;
    }
    constexpr bool Contains(E value) const { return (bits_ & Bit(value)) != 0; }
    constexpr Bits ToBits() const { return bits_; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr Bits Bit(E value) { return static_cast<Bits>(Bits{1} << value); }
    Bits bits_ = 0;
};

using TCommEventTypes = TEnumSet<TCommEventType, uint16_t>;
using TCommOptions = TEnumSet<TCommOption, uint8_t>;

inline constexpr TCommEventTypes AllCommEvents{evBreak, evCts,    evDsr,    evError,  evRing,
                                               evRlsd,  evRxChar, evRxFlag, evTxEmpty};

// The line rate of each TBaudRate, in bit/s.
uint32_t BaudRateValue(TBaudRate rate);
// The event bits of a set of comm events.
uint32_t CommEventMask(TCommEventTypes events);

class TThreadComm;

using TComStat = platform::SerialComStat;
using TNotifyEvent = std::function<void(TThreadComm* sender)>;
using TCommErrorEvent = std::function<void(TThreadComm* sender, int errors)>;
using TCommRxCharEvent = std::function<void(TThreadComm* sender, uint32_t count)>;
using TCommComStatEvent =
    std::function<void(TThreadComm* sender, uint32_t status, TComStat comStat)>;

// "Run this on the interface thread": the event thread hands each comm event over through
// it. The hook may return at once (a queued call) or after the task has run (a blocking
// queued call); the event thread waits for the task either way, and Close abandons a task
// that has not started yet.
using TInterfaceInvoker = std::function<void(std::function<void()> task)>;

// The five special characters of the device control block.
class TCommEventChars {
public:
    explicit TCommEventChars(TThreadComm* owner = nullptr) : owner_(owner) {}
    TCommEventChars(const TCommEventChars&) = delete;
    TCommEventChars& operator=(const TCommEventChars&) = delete;

    char XOnChar() const { return chars_[0]; }
    char XOffChar() const { return chars_[1]; }
    char ErrorChar() const { return chars_[2]; }
    char EofChar() const { return chars_[3]; }
    char EvtChar() const { return chars_[4]; }

    // Index 1 XOnChar, 2 XOffChar, 3 ErrorChar, 4 EofChar, 5 EvtChar; any other index stores
    // nothing. The owner's device control block is updated either way.
    void SetEventChar(int index, char value);
    void SetXOnChar(char value) { SetEventChar(1, value); }
    void SetXOffChar(char value) { SetEventChar(2, value); }
    void SetErrorChar(char value) { SetEventChar(3, value); }
    void SetEofChar(char value) { SetEventChar(4, value); }
    void SetEvtChar(char value) { SetEventChar(5, value); }

    // Copies the five characters and updates nothing.
    void Assign(const TCommEventChars& source);

private:
    TThreadComm* owner_;
    char chars_[5] = {17, 19, 0, 0, 0};
};

// The event-wait thread of an open port. It waits for comm events through the driver and
// hands each one to its signal handler through the interface invoker, then waits until the
// handler has run. Stop ends it promptly from any thread, including the interface thread
// while a hand-over is pending and a handler that closes the port.
class TCommEventThread {
public:
    using SignalHandler = std::function<void(TCommEventThread* sender, uint32_t eventMask)>;

    // Sets the port's event mask to the events of the set; the thread starts with Start.
    TCommEventThread(std::shared_ptr<platform::SerialPort> port, uint32_t suspendTime,
                     TCommEventTypes events);
    ~TCommEventThread();
    TCommEventThread(const TCommEventThread&) = delete;
    TCommEventThread& operator=(const TCommEventThread&) = delete;

    void SetSignalHandler(SignalHandler handler, TInterfaceInvoker invoker);
    void Start();
    // After Stop no handler starts any more; a handler running on another thread has
    // returned. Safe to call more than once.
    void Stop();

    uint32_t SuspendTime() const { return suspendTime_; }
    uint32_t EventMask() const { return eventMask_; }
    int SetMaskError() const { return setMaskError_; }

    // How long the thread rests after a failed wait before it waits again.
    static constexpr int kFailedWaitBackoffMs = 50;

private:
    struct Shared;
    static void Execute(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
    uint32_t suspendTime_;
    uint32_t eventMask_;
    int setMaskError_ = 0;
};

class TThreadComm {
public:
    explicit TThreadComm(
        std::shared_ptr<platform::SerialDriver> driver = platform::SystemSerialDriver());
    virtual ~TThreadComm();
    TThreadComm(const TThreadComm&) = delete;
    TThreadComm& operator=(const TThreadComm&) = delete;

    void Open();
    void Close();
    bool Enabled() const { return open_.load(std::memory_order_acquire); }
    void CheckOpen();
    virtual void CreateHandle();
    void DestroyHandle();

    // The constant part of the write time-outs, and what a pending write is given beyond
    // them before it is cancelled.
    static constexpr uint32_t kWriteTimeoutConstantMs = 1000;
    static constexpr std::chrono::milliseconds kWriteBoundMargin{500};

    [[nodiscard]] int Write(const char* buffer, uint32_t count) {
        return WriteEx(buffer, count, 0);
    }
    // A pending write is waited for at most WriteTimeout ms in wait mode 1, else as long as
    // the port's write time-outs allow for `count` bytes plus kWriteBoundMargin; then it is
    // cancelled and the result is what it moved.
    [[nodiscard]] int WriteEx(const char* buffer, uint32_t count, int waitMode);
    [[nodiscard]] int Read(char* buffer, uint32_t count);
    int InQueCount();
    int OutQueCount();
    void PurgeIn();
    void PurgeOut();

    // True once a read, write or queue query on the port now open failed in a way that says
    // the device has gone (a hang-up, a pulled USB adapter); false again after an Open.
    bool DeviceLost() const { return deviceLost_.load(std::memory_order_acquire); }

    // n: 1 CTS, 2 DSR, 3 RING, 4 RLSD. True when the port is closed or its lines cannot be
    // read (a pty refuses the modem-line calls), so such a port counts as connected.
    bool GetModemState(int n);
    // n: 2 DSR hold, 3 RLSD hold, 4 XOFF hold, 5 XOFF sent, any other CTS hold. False on a
    // closed port.
    bool GetComState(int n);

    void EscapeComm(int function);
    void SetDTRState(bool on);
    void SetRTSState(bool on);
    void SetBREAKState(bool on);
    void SetXONState(bool on);

    void UpdateDataControlBlock();
    void UpdateDataControlBlockLock();
    void UpdateCommTimeouts();

    void Lock() { lock_.lock(); }
    void Unlock() { lock_.unlock(); }

    // The event thread's signal handler; runs on the interface thread.
    void HandleCommEvent(TCommEventThread* sender, uint32_t eventMask);

    // Properties.
    const std::string& DeviceName() const { return deviceName_; }
    void SetDeviceName(const std::string& value) {
        SetProperty(deviceName_, value, Takes::WhileClosed);
    }
    int ReadTimeout() const { return readTimeout_; }
    void SetReadTimeout(int value) { readTimeout_ = value; }
    int WriteTimeout() const { return writeTimeout_; }
    void SetWriteTimeout(int value) { writeTimeout_ = value; }
    uint16_t ReadBufSize() const { return readBufSize_; }
    void SetReadBufSize(uint16_t value) { SetProperty(readBufSize_, value, Takes::WhileClosed); }
    uint16_t WriteBufSize() const { return writeBufSize_; }
    void SetWriteBufSize(uint16_t value) { SetProperty(writeBufSize_, value, Takes::WhileClosed); }
    uint32_t SuspendTime() const { return suspendTime_; }
    void SetSuspendTime(uint32_t value) { SetProperty(suspendTime_, value, Takes::WhileClosed); }
    TCommEventTypes MonitorEvents() const { return monitorEvents_; }
    void SetMonitorEvents(TCommEventTypes value) {
        SetProperty(monitorEvents_, value, Takes::WhileClosed);
    }
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value) { SetProperty(baudRate_, value, Takes::AtOnce); }
    TParity Parity() const { return parity_; }
    void SetParity(TParity value) { SetProperty(parity_, value, Takes::AtOnce); }
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value) { SetProperty(stopBits_, value, Takes::AtOnce); }
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value) { SetProperty(dataBits_, value, Takes::AtOnce); }
    TCommEventChars& EventChars() { return eventChars_; }
    TCommOptions Options() const { return options_; }
    void SetOptions(TCommOptions value) { SetProperty(options_, value, Takes::AtOnce); }
    TFlowControl FlowControl() const { return flowControl_; }
    void SetFlowControl(TFlowControl value) { SetProperty(flowControl_, value, Takes::AtOnce); }

    // The settings last read from and written to the port.
    const platform::SerialControlBlock& DataControlBlock() const { return dcb_; }

    // Where HandleCommEvent runs. Unset, it runs on the event thread itself; the window sets
    // a hook that queues the task to the interface thread. Set it while the port is closed.
    void SetInterfaceInvoker(TInterfaceInvoker invoker) { invoker_ = std::move(invoker); }

    // Event handlers, assigned directly. Assign them while the port is closed, or on the
    // interface thread when the invoker runs handlers there.
    TNotifyEvent OnBreak;
    TNotifyEvent OnCts;
    TNotifyEvent OnDsr;
    TCommErrorEvent OnError;
    TNotifyEvent OnRing;
    TNotifyEvent OnRlsd;
    TCommRxCharEvent OnRxChar;
    TNotifyEvent OnRxFlag;
    TNotifyEvent OnTxEmpty;
    TCommComStatEvent OnComStatEvent;

private:
    // Notes a failed port call's error when it says the device has gone; returns it.
    int NoteFailure(int error);

    std::atomic<bool> deviceLost_{false};

    // Marks the current thread as inside HandleCommEvent.
    class HandlerScope {
    public:
        explicit HandlerScope(TThreadComm& comm);
        ~HandlerScope();
        HandlerScope(const HandlerScope&) = delete;
        HandlerScope& operator=(const HandlerScope&) = delete;

    private:
        TThreadComm& comm_;
    };

    std::shared_ptr<platform::SerialPort> Port() const;
    platform::SerialTimeouts WriteTimeouts() const;
    std::chrono::milliseconds WriteBound(uint32_t count) const;

    // The device name, buffer sizes, suspend time and monitored events take a value only
    // while the port is closed; the line settings take it at once, into an open port too.
    enum class Takes { WhileClosed, AtOnce };
    template <typename T> void SetProperty(T& field, const T& value, Takes takes) {
        if (value == field || (takes == Takes::WhileClosed && Enabled()))
            return;
        field = value;
        if (takes == Takes::AtOnce)
            UpdateDataControlBlockLock();
    }

    std::shared_ptr<platform::SerialDriver> driver_;
    // The open port; guarded by portMutex_, which is never held across a transfer, so that
    // the calls that do not take the lock see either the port or nothing.
    mutable std::mutex portMutex_;
    std::shared_ptr<platform::SerialPort> port_;
    // The system's code of the last failed CreateHandle, reported by Open.
    int createError_ = 0;
    platform::SerialControlBlock dcb_{};
    std::string deviceName_ = "Com1";
    std::recursive_mutex lock_;
    std::atomic<int> readTimeout_{1000};
    std::atomic<int> writeTimeout_{1000};
    uint16_t readBufSize_ = 4096;
    uint16_t writeBufSize_ = 2048;
    // Kept so that stored descriptions of the component stay valid; nothing uses it.
    uint32_t suspendTime_ = 5;
    TCommEventTypes monitorEvents_ = AllCommEvents;
    TBaudRate baudRate_ = br57600;
    TParity parity_ = paNone;
    TStopBits stopBits_ = sb10;
    TDataBits dataBits_ = da8;
    std::atomic<bool> open_{false};
    std::unique_ptr<TCommEventThread> eventThread_;
    TCommEventChars eventChars_{this};
    TCommOptions options_;
    TFlowControl flowControl_ = fcDefault;
    TInterfaceInvoker invoker_;
    // Counts Close calls, so that HandleCommEvent stops dispatching when a handler closed
    // the port.
    std::atomic<uint32_t> closeCount_{0};
    // The threads inside HandleCommEvent. A handler that closed the port goes on after
    // Close has returned; the destructor waits for it before the fields go.
    std::mutex handlersMutex_;
    std::condition_variable handlersDone_;
    std::vector<std::thread::id> handlerThreads_;
};

class TComm : public TThreadComm {
public:
    using TThreadComm::TThreadComm;
    ~TComm() override = default;
};

} // namespace zopra
