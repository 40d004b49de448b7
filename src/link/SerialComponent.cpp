#include "link/SerialComponent.h"

#include "platform/DeviceAccess.h"
#include "platform/Trace.h"

#include <algorithm>
#include <chrono>

namespace zopra {

namespace pf = platform;

void RaiseCommError(const std::string& message, int code) {
    std::string text = message;
    const std::string number = std::to_string(code);
    for (size_t at = text.find("%d"); at != std::string::npos; at = text.find("%d", at)) {
        text.replace(at, 2, number);
        at += number.size();
    }
    throw ECommError(text, code);
}

uint32_t BaudRateValue(TBaudRate rate) {
    static constexpr uint32_t rates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                         19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rate < std::size(rates) ? rates[rate] : 0;
}

uint32_t CommEventMask(TCommEventTypes events) {
    // In the order of TCommEventType.
    static constexpr uint32_t bits[] = {pf::kEvBreak,  pf::kEvCts,    pf::kEvDsr,
                                        pf::kEvErr,    pf::kEvRing,   pf::kEvRlsd,
                                        pf::kEvRxChar, pf::kEvRxFlag, pf::kEvTxEmpty};
    uint32_t mask = 0;
    for (uint8_t ordinal = 0; ordinal < std::size(bits); ++ordinal)
        if (events.Contains(static_cast<TCommEventType>(ordinal)))
            mask += bits[ordinal];
    return mask;
}

// ---------------------------------------------------------------------------------------
// TCommEventChars

void TCommEventChars::SetEventChar(int index, char value) {
    if (index >= 1 && index <= 5)
        chars_[index - 1] = value;
    if (owner_ != nullptr)
        owner_->UpdateDataControlBlock();
}

void TCommEventChars::Assign(const TCommEventChars& source) {
    std::copy(std::begin(source.chars_), std::end(source.chars_), std::begin(chars_));
}

// ---------------------------------------------------------------------------------------
// TCommEventThread
//
// The thread and Stop meet in Shared. The thread touches the port only while it is in the
// driver's wait, and it hands each event over as a task that checks the stop flag before it
// runs the handler. So Stop, once the thread is out of the driver, knows that no handler
// will start any more. It joins the thread when the thread can finish without help; when
// the thread sits in a hand-over that needs the very thread that is stopping it (a blocking
// call into the interface thread, or a handler that closes the port), it lets the thread
// finish on its own: the thread then only returns from the hook and ends.

struct TCommEventThread::Shared {
    enum class Phase { Idle, InDriver, InInvoker, AwaitingTask, Exited };

    std::mutex mutex;
    std::condition_variable changed;
    std::shared_ptr<pf::SerialPort> port;
    TCommEventThread* sender = nullptr;
    SignalHandler handler;
    TInterfaceInvoker invoker;
    bool stop = false;
    Phase phase = Phase::Idle;
    bool taskDone = false;
    bool taskRunning = false;
    std::thread::id taskThread;
};

TCommEventThread::TCommEventThread(std::shared_ptr<pf::SerialPort> port, uint32_t suspendTime,
                                   TCommEventTypes events)
    : shared_(std::make_shared<Shared>()), suspendTime_(suspendTime),
      eventMask_(CommEventMask(events)) {
    shared_->port = std::move(port);
    shared_->sender = this;
    setMaskError_ = shared_->port->SetEventMask(eventMask_);
}

TCommEventThread::~TCommEventThread() {
    Stop();
}

void TCommEventThread::SetSignalHandler(SignalHandler handler, TInterfaceInvoker invoker) {
    std::lock_guard guard(shared_->mutex);
    shared_->handler = std::move(handler);
    shared_->invoker = std::move(invoker);
}

void TCommEventThread::Start() {
    if (!thread_.joinable())
        thread_ = std::thread(&TCommEventThread::Execute, shared_);
}

void TCommEventThread::Execute(std::shared_ptr<Shared> shared) {
    using Phase = Shared::Phase;
    std::unique_lock lock(shared->mutex);
    while (!shared->stop) {
        std::shared_ptr<pf::SerialPort> port = shared->port;
        shared->phase = Phase::InDriver;
        lock.unlock();
        const pf::SerialWaitResult result = port->WaitEvent();
        port.reset();
        lock.lock();
        shared->phase = Phase::Idle;
        shared->changed.notify_all();
        if (shared->stop)
            break;
        if (result.state == pf::SerialWait::Failed) {
            // A wait that fails once fails again at once (Wine on a pty does): rest before
            // the next one instead of spinning, and stay ready to stop.
            shared->changed.wait_for(lock, std::chrono::milliseconds(kFailedWaitBackoffMs),
                                     [&] { return shared->stop; });
            continue;
        }
        if (result.state == pf::SerialWait::Woken)
            continue;

        const uint32_t mask = result.mask;
        auto task = [shared, mask] {
            {
                std::lock_guard guard(shared->mutex);
                if (shared->stop || !shared->handler) {
                    shared->taskDone = true;
                    shared->changed.notify_all();
                    return;
                }
                shared->taskRunning = true;
                shared->taskThread = std::this_thread::get_id();
            }
            try {
                shared->handler(shared->sender, mask);
            } catch (const std::exception& error) {
                // Neither the event thread nor the event loop could report it; the window's
                // handlers catch and show their own errors.
                pf::TraceNote("the serial event thread dropped an error of the event handler",
                              error.what());
            } catch (...) {
                pf::TraceNote("the serial event thread dropped an unknown error of the event "
                              "handler");
            }
            std::lock_guard guard(shared->mutex);
            shared->taskRunning = false;
            shared->taskDone = true;
            shared->changed.notify_all();
        };
        shared->taskDone = false;
        shared->phase = Phase::InInvoker;
        TInterfaceInvoker invoker = shared->invoker;
        lock.unlock();
        if (invoker)
            invoker(task);
        else
            task();
        lock.lock();
        shared->phase = Phase::AwaitingTask;
        shared->changed.notify_all();
        shared->changed.wait(lock, [&] { return shared->taskDone || shared->stop; });
        shared->phase = Phase::Idle;
    }
    shared->phase = Phase::Exited;
    shared->port.reset();
    shared->changed.notify_all();
}

void TCommEventThread::Stop() {
    using Phase = Shared::Phase;
    std::shared_ptr<pf::SerialPort> port;
    {
        std::lock_guard guard(shared_->mutex);
        shared_->stop = true;
        port = shared_->port;
        shared_->changed.notify_all();
    }
    if (!thread_.joinable())
        return;
    if (port)
        port->WakeEventWait();

    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock lock(shared_->mutex);
    const bool direct = !shared_->invoker;
    shared_->changed.wait(lock, [&] {
        if (shared_->phase == Phase::Exited)
            return true;
        if (shared_->taskRunning)
            // A handler on another thread is let finish; one on this thread called us.
            return shared_->taskThread == me;
        if (shared_->phase == Phase::InInvoker)
            // Not started: the hook may be waiting for this very thread. Run directly, the
            // task starts on the event thread, sees the stop flag and ends by itself.
            return !direct || thread_.get_id() == me;
        return false; // in the driver (woken) or about to leave: a moment
    });
    const bool exited = shared_->phase == Phase::Exited;
    shared_->port.reset();
    lock.unlock();
    if (exited)
        thread_.join();
    else
        thread_.detach(); // it returns from the hook, sees the stop flag and ends
}

// ---------------------------------------------------------------------------------------
// TThreadComm

TThreadComm::TThreadComm(std::shared_ptr<pf::SerialDriver> driver) : driver_(std::move(driver)) {}

TThreadComm::~TThreadComm() {
    Close();
    const std::thread::id me = std::this_thread::get_id();
    std::unique_lock lock(handlersMutex_);
    handlersDone_.wait(lock, [&] {
        return std::all_of(handlerThreads_.begin(), handlerThreads_.end(),
                           [&](std::thread::id id) { return id == me; });
    });
}

TThreadComm::HandlerScope::HandlerScope(TThreadComm& comm) : comm_(comm) {
    std::lock_guard guard(comm_.handlersMutex_);
    comm_.handlerThreads_.push_back(std::this_thread::get_id());
}

TThreadComm::HandlerScope::~HandlerScope() {
    std::lock_guard guard(comm_.handlersMutex_);
    std::vector<std::thread::id>& threads = comm_.handlerThreads_;
    threads.erase(std::find(threads.begin(), threads.end(), std::this_thread::get_id()));
    comm_.handlersDone_.notify_all();
}

std::shared_ptr<pf::SerialPort> TThreadComm::Port() const {
    std::lock_guard guard(portMutex_);
    return port_;
}

void TThreadComm::Open() {
    std::string message;
    int code = 0;
    {
        std::lock_guard guard(lock_);
        if (Enabled()) {
            message = "Port already assigned (open) (Error: %d)";
            code = -1;
        } else {
            CreateHandle();
            if (!Enabled()) {
                message = "Port not open (Error: %d)";
                code = createError_;
            } else {
                UpdateCommTimeouts();
                UpdateDataControlBlock();
                std::shared_ptr<pf::SerialPort> port = Port();
                if (int error = port->SetupBuffers(readBufSize_, writeBufSize_); error != 0) {
                    // Before the event thread starts: a port whose queues the driver
                    // refused is closed again, not left open with a thread waiting on it.
                    message = "Error initializing Read/Write Buffers (Error: %d)";
                    code = error;
                    DestroyHandle();
                } else {
                    eventThread_ =
                        std::make_unique<TCommEventThread>(port, suspendTime_, monitorEvents_);
                    eventThread_->SetSignalHandler(
                        [this](TCommEventThread* sender, uint32_t eventMask) {
                            HandleCommEvent(sender, eventMask);
                        },
                        invoker_);
                    eventThread_->Start();
                }
            }
        }
    }
    if (code != 0)
        RaiseCommError(message, code);
}

void TThreadComm::Close() {
    if (!Enabled())
        return;
    closeCount_.fetch_add(1, std::memory_order_acq_rel);
    std::unique_ptr<TCommEventThread> thread;
    {
        std::lock_guard guard(lock_);
        thread = std::move(eventThread_);
    }
    // Stopped outside the lock: with the default invoker a handler runs on the event thread
    // and may be waiting for the lock itself.
    if (thread)
        thread->Stop();
    std::lock_guard guard(lock_);
    if (std::shared_ptr<pf::SerialPort> port = Port(); port && thread)
        pf::Traced("Purge (closing the serial port)",
                   port->Purge(pf::kPurgeTxAbort | pf::kPurgeRxAbort | pf::kPurgeTxClear |
                               pf::kPurgeRxClear));
    thread.reset();
    DestroyHandle();
}

void TThreadComm::CheckOpen() {
    if (Enabled())
        RaiseCommError("Port already assigned (open) (Error: %d)", -1);
}

void TThreadComm::CreateHandle() {
    int error = 0;
    std::shared_ptr<pf::SerialPort> port = driver_->Open(deviceName_, error);
    if (!port) {
        createError_ = error;
        open_.store(false, std::memory_order_release);
        return;
    }
    {
        std::lock_guard guard(portMutex_);
        port_ = port;
    }
    deviceLost_.store(false, std::memory_order_release);
    open_.store(true, std::memory_order_release);
    int typeError = 0;
    if (!port->IsSerialPort(typeError)) {
        createError_ = typeError;
        DestroyHandle();
    } else {
        pf::Traced("SetEventMask (opening the serial port)", port->SetEventMask(pf::kEvAll));
    }
}

void TThreadComm::DestroyHandle() {
    std::shared_ptr<pf::SerialPort> port;
    {
        std::lock_guard guard(portMutex_);
        port = std::move(port_);
    }
    open_.store(false, std::memory_order_release);
    // The handle closes with the last reference; a call that took the port just before
    // (InQueCount on the receive thread) finishes on a valid handle.
    port.reset();
}

int TThreadComm::WriteEx(const char* buffer, uint32_t count, int waitMode) {
    if (!Enabled())
        return -1;
    std::lock_guard guard(lock_);
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return -1;
    uint32_t errors = 0;
    pf::SerialComStat status;
    const pf::SerialIoResult started = port->StartWrite(buffer, count);
    if (started.state == pf::SerialIo::Done)
        return static_cast<int>(started.count);
    if (started.state != pf::SerialIo::Pending) {
        NoteFailure(started.error);
        pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
        return 0;
    }
    // Waited for on the request's event, never polled: the lock is held meanwhile, and a
    // driver that stops taking data must neither spin a core nor hold the receive thread
    // for longer than the bound.
    const auto bound = waitMode == 1 ? std::chrono::milliseconds(std::max(0, writeTimeout_.load()))
                                     : WriteBound(count);
    const pf::SerialIoResult waited = port->WaitWrite(bound);
    if (waited.state == pf::SerialIo::Done)
        return static_cast<int>(waited.count);
    if (waited.state == pf::SerialIo::Failed) {
        NoteFailure(waited.error);
        pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
        return static_cast<int>(waited.count);
    }
    // Past the bound: the request record is used by the next write, so the write has to end
    // first; what it moved is the result, and fewer bytes than asked is a failed write.
    pf::TraceNote("a serial write past its bound was cancelled",
                  std::to_string(bound.count()) + " ms for " + std::to_string(count) + " bytes");
    return static_cast<int>(port->CancelWrite());
}

std::chrono::milliseconds TThreadComm::WriteBound(uint32_t count) const {
    const pf::SerialTimeouts timeouts = WriteTimeouts();
    return std::chrono::milliseconds(std::uint64_t{timeouts.writeTotalTimeoutMultiplier} * count +
                                     timeouts.writeTotalTimeoutConstant) +
           kWriteBoundMargin;
}

pf::SerialTimeouts TThreadComm::WriteTimeouts() const {
    // Ten bits a byte at the port's rate, rounded up to whole milliseconds, plus a constant
    // for a driver that pauses: the bound of a write that goes out at all.
    const uint32_t bitsPerSecond = std::max<uint32_t>(1u, BaudRateValue(baudRate_));
    pf::SerialTimeouts timeouts;
    timeouts.writeTotalTimeoutMultiplier = (10000u + bitsPerSecond - 1) / bitsPerSecond;
    timeouts.writeTotalTimeoutConstant = kWriteTimeoutConstantMs;
    return timeouts;
}

int TThreadComm::Read(char* buffer, uint32_t count) {
    if (!Enabled())
        return -1;
    std::lock_guard guard(lock_);
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return -1;
    uint32_t errors = 0;
    pf::SerialComStat status;
    pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
    if (count == 0) {
        pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
        return 0;
    }
    const pf::SerialIoResult started = port->StartRead(buffer, count);
    if (started.state == pf::SerialIo::Done)
        return static_cast<int>(started.count);
    if (started.state != pf::SerialIo::Pending) {
        NoteFailure(started.error);
        return 0;
    }
    pf::SerialIoResult waited = port->WaitRead();
    while (waited.state == pf::SerialIo::Incomplete)
        waited = port->WaitRead();
    if (waited.state == pf::SerialIo::Failed) {
        NoteFailure(waited.error);
        pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
    }
    return static_cast<int>(waited.count);
}

int TThreadComm::InQueCount() {
    if (!Enabled())
        return -1;
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return -1;
    uint32_t errors = 0;
    pf::SerialComStat status;
    // A failed query counts as an empty queue: the receive thread reads what this reports.
    if (NoteFailure(pf::Traced("ClearError (the serial port's queues)",
                               port->ClearError(errors, status))) != 0)
        return 0;
    return static_cast<int>(status.cbInQue);
}

int TThreadComm::NoteFailure(int error) {
    if (error != 0 && pf::DeviceGone(error))
        deviceLost_.store(true, std::memory_order_release);
    return error;
}

int TThreadComm::OutQueCount() {
    if (!Enabled())
        return -1;
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return -1;
    uint32_t errors = 0;
    pf::SerialComStat status;
    if (pf::Traced("ClearError (the serial port's queues)", port->ClearError(errors, status)) != 0)
        return 0;
    return static_cast<int>(status.cbOutQue);
}

void TThreadComm::PurgeIn() {
    if (std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr)
        pf::Traced("Purge (input)", port->Purge(pf::kPurgeRxAbort | pf::kPurgeRxClear));
}

void TThreadComm::PurgeOut() {
    if (std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr)
        pf::Traced("Purge (output)", port->Purge(pf::kPurgeTxAbort | pf::kPurgeTxClear));
}

bool TThreadComm::GetModemState(int n) {
    static constexpr uint32_t masks[] = {0, pf::kMsCtsOn, pf::kMsDsrOn, pf::kMsRingOn,
                                         pf::kMsRlsdOn};
    const uint32_t mask = n >= 1 && n <= 4 ? masks[n] : 0;
    std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr;
    if (!port)
        return true;
    uint32_t status = 0;
    if (port->GetModemStatus(status) != 0)
        return true;
    return (status & mask) != 0;
}

bool TThreadComm::GetComState(int n) {
    std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr;
    if (!port)
        return false;
    uint32_t errors = 0;
    pf::SerialComStat status;
    pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
    switch (n) {
    case 2:
        return status.fDsrHold;
    case 3:
        return status.fRlsdHold;
    case 4:
        return status.fXoffHold;
    case 5:
        return status.fXoffSent;
    default:
        return status.fCtsHold;
    }
}

void TThreadComm::EscapeComm(int function) {
    bool closed = !Enabled();
    int error = 0;
    if (!closed) {
        std::lock_guard guard(lock_);
        std::shared_ptr<pf::SerialPort> port = Port();
        closed = !port;
        if (port)
            error = port->Escape(static_cast<uint32_t>(function));
    }
    if (closed)
        RaiseCommError("Port not open (Error: %d)", -1);
    if (error != 0)
        RaiseCommError("EscapeCommFunction failure (Error: %d)", error);
}

void TThreadComm::SetDTRState(bool on) {
    EscapeComm(static_cast<int>(on ? pf::kSetDtr : pf::kClrDtr));
}

void TThreadComm::SetRTSState(bool on) {
    EscapeComm(static_cast<int>(on ? pf::kSetRts : pf::kClrRts));
}

void TThreadComm::SetXONState(bool on) {
    EscapeComm(static_cast<int>(on ? pf::kSetXon : pf::kSetXoff));
}

void TThreadComm::SetBREAKState(bool on) {
    EscapeComm(static_cast<int>(on ? pf::kSetBreak : pf::kClrBreak));
    std::lock_guard guard(lock_);
    if (std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr)
        pf::Traced("Purge (after a break)", port->Purge(pf::kPurgeTxAbort | pf::kPurgeRxAbort |
                                                        pf::kPurgeTxClear | pf::kPurgeRxClear));
}

void TThreadComm::UpdateCommTimeouts() {
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return;
    pf::SerialTimeouts timeouts = WriteTimeouts();
    // Reads return what has arrived, waiting at most the constant for the rest.
    timeouts.readIntervalTimeout = 0xFFFFFFFF;
    timeouts.readTotalTimeoutMultiplier = 0;
    timeouts.readTotalTimeoutConstant = static_cast<uint32_t>(std::max(0, readTimeout_.load()));
    if (int error = port->SetTimeouts(timeouts); error != 0)
        RaiseCommError("Error updating CommTimeouts (Error: %d)", error);
}

void TThreadComm::UpdateDataControlBlock() {
    std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr;
    if (!port)
        return;
    pf::Traced("SetupBuffers (the serial port's queues)",
               port->SetupBuffers(readBufSize_, writeBufSize_));
    pf::Traced("GetState (the serial port's settings)", port->GetState(dcb_));

    dcb_.baudRate = BaudRateValue(baudRate_);
    dcb_.parity = static_cast<uint8_t>(parity_);
    dcb_.stopBits = static_cast<uint8_t>(stopBits_);
    dcb_.byteSize = static_cast<uint8_t>(4 + dataBits_);

    dcb_.xonChar = eventChars_.XOnChar();
    dcb_.xoffChar = eventChars_.XOffChar();
    dcb_.errorChar = eventChars_.ErrorChar();
    dcb_.eofChar = eventChars_.EofChar();
    dcb_.evtChar = eventChars_.EvtChar();
    dcb_.xonLim = 1024;
    dcb_.xoffLim = 1024;

    // Every flag the link depends on is set here, none taken over from what another
    // program or `mode` left in the port: binary transfers, and no abort on error, which
    // would make every transfer fail after one line error until the error is cleared.
    dcb_.fBinary = true;
    dcb_.fAbortOnError = false;
    dcb_.fParity = options_.Contains(coParityCheck);
    dcb_.fDsrSensitivity = options_.Contains(coDsrSensitivity);
    dcb_.fTXContinueOnXoff = options_.Contains(coIgnoreXOff);
    dcb_.fErrorChar = options_.Contains(coErrorChar);
    dcb_.fNull = options_.Contains(coNullStrip);

    switch (flowControl_) {
    case fcCTS:
        dcb_.fOutxCtsFlow = true;
        dcb_.fOutxDsrFlow = false;
        dcb_.fDtrControl = pf::kDtrControlEnable;
        dcb_.fRtsControl = pf::kRtsControlHandshake;
        break;
    case fcDTR:
        dcb_.fOutxCtsFlow = false;
        dcb_.fOutxDsrFlow = true;
        dcb_.fDtrControl = pf::kDtrControlHandshake;
        dcb_.fRtsControl = pf::kRtsControlEnable;
        break;
    case fcNone:
    case fcSoftware:
    case fcDefault:
        dcb_.fOutxCtsFlow = false;
        dcb_.fOutxDsrFlow = false;
        dcb_.fDtrControl = pf::kDtrControlEnable;
        dcb_.fRtsControl = pf::kRtsControlEnable;
        break;
    }
    // XON/XOFF in both directions with software handshake only.
    dcb_.fOutX = flowControl_ == fcSoftware;
    dcb_.fInX = flowControl_ == fcSoftware;

    if (int error = port->SetState(dcb_); error != 0)
        RaiseCommError("Error updating DataControlBlock (Error: %d)", error);
}

void TThreadComm::UpdateDataControlBlockLock() {
    std::lock_guard guard(lock_);
    UpdateDataControlBlock();
}

void TThreadComm::HandleCommEvent(TCommEventThread* /*sender*/, uint32_t eventMask) {
    std::shared_ptr<pf::SerialPort> port = Enabled() ? Port() : nullptr;
    if (!port)
        return;
    HandlerScope scope(*this);
    const uint32_t closes = closeCount_.load(std::memory_order_acquire);
    uint32_t errors = 0;
    pf::SerialComStat status;
    pf::Traced("ClearError (the serial port's state)", port->ClearError(errors, status));
    port.reset();

    // A handler may close the port; the handlers after it then no longer run.
    auto wanted = [&](uint32_t bit) {
        return (eventMask & bit) != 0 && closeCount_.load(std::memory_order_acquire) == closes;
    };
    if (wanted(pf::kEvBreak) && OnBreak)
        OnBreak(this);
    if (wanted(pf::kEvCts) && OnCts)
        OnCts(this);
    if (wanted(pf::kEvDsr) && OnDsr)
        OnDsr(this);
    if (wanted(pf::kEvErr) && OnError)
        OnError(this, static_cast<int>(errors));
    if (wanted(pf::kEvRing) && OnRing)
        OnRing(this);
    if (wanted(pf::kEvRlsd) && OnRlsd)
        OnRlsd(this);
    if (wanted(pf::kEvRxChar) && status.cbInQue > 0 && OnRxChar)
        OnRxChar(this, status.cbInQue);
    if (wanted(pf::kEvRxFlag) && OnRxFlag)
        OnRxFlag(this);
    if (wanted(pf::kEvTxEmpty) && OnTxEmpty)
        OnTxEmpty(this);
    if (closeCount_.load(std::memory_order_acquire) == closes && OnComStatEvent)
        OnComStatEvent(this, eventMask, status);
}

// Setters of the first group: only while the port is closed.

void TThreadComm::SetDeviceName(const std::string& value) {
    if (!Enabled() && value != deviceName_)
        deviceName_ = value;
}

void TThreadComm::SetMonitorEvents(TCommEventTypes value) {
    if (!Enabled() && value != monitorEvents_)
        monitorEvents_ = value;
}

void TThreadComm::SetReadBufSize(uint16_t value) {
    if (!Enabled() && value != readBufSize_)
        readBufSize_ = value;
}

void TThreadComm::SetWriteBufSize(uint16_t value) {
    if (!Enabled() && value != writeBufSize_)
        writeBufSize_ = value;
}

void TThreadComm::SetSuspendTime(uint32_t value) {
    if (!Enabled() && value != suspendTime_)
        suspendTime_ = value;
}

// Setters of the second group: an open port takes the value at once.

void TThreadComm::SetBaudRate(TBaudRate value) {
    if (value == baudRate_)
        return;
    baudRate_ = value;
    UpdateDataControlBlockLock();
}

void TThreadComm::SetParity(TParity value) {
    if (value == parity_)
        return;
    parity_ = value;
    UpdateDataControlBlockLock();
}

void TThreadComm::SetStopBits(TStopBits value) {
    if (value == stopBits_)
        return;
    stopBits_ = value;
    UpdateDataControlBlockLock();
}

void TThreadComm::SetDataBits(TDataBits value) {
    if (value == dataBits_)
        return;
    dataBits_ = value;
    UpdateDataControlBlockLock();
}

void TThreadComm::SetOptions(TCommOptions value) {
    if (value == options_)
        return;
    options_ = value;
    UpdateDataControlBlockLock();
}

void TThreadComm::SetFlowControl(TFlowControl value) {
    if (value == flowControl_)
        return;
    flowControl_ = value;
    UpdateDataControlBlockLock();
}

} // namespace zopra
