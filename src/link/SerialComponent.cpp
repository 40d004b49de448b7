#include "link/SerialComponent.h"

#include "platform/DeviceAccess.h"
#include "platform/Trace.h"

#include <algorithm>
#include <chrono>
#include <string_view>

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

namespace {

// What one ClearError call found: the line errors and the port's status (as the driver left
// them when the call failed), and the call's result, already traced.
struct ClearedPort {
    uint32_t errors = 0;
    pf::SerialComStat status;
    int error = 0;
};

ClearedPort ClearPortErrors(pf::SerialPort& port,
                            std::string_view call = "ClearError (the serial port's state)") {
    ClearedPort cleared;
    cleared.error = pf::Traced(call, port.ClearError(cleared.errors, cleared.status));
    return cleared;
}

} // namespace

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
    const pf::SerialIoResult started = port->StartWrite(buffer, count);
    if (started.state == pf::SerialIo::Done)
        return static_cast<int>(started.count);
    if (started.state != pf::SerialIo::Pending) {
        NoteFailure(started.error);
        ClearPortErrors(*port);
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
        ClearPortErrors(*port);
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
    ClearPortErrors(*port);
    if (count == 0) {
        ClearPortErrors(*port);
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
        ClearPortErrors(*port);
    }
    return static_cast<int>(waited.count);
}

int TThreadComm::InQueCount() {
    if (!Enabled())
        return -1;
    std::shared_ptr<pf::SerialPort> port = Port();
    if (!port)
        return -1;
    // A failed query counts as an empty queue: the receive thread reads what this reports.
    const ClearedPort cleared = ClearPortErrors(*port, "ClearError (the serial port's queues)");
    if (NoteFailure(cleared.error) != 0)
        return 0;
    return static_cast<int>(cleared.status.cbInQue);
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
    const ClearedPort cleared = ClearPortErrors(*port, "ClearError (the serial port's queues)");
    if (cleared.error != 0)
        return 0;
    return static_cast<int>(cleared.status.cbOutQue);
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
    const pf::SerialComStat status = ClearPortErrors(*port).status;
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
    const ClearedPort cleared = ClearPortErrors(*port);
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
        OnError(this, static_cast<int>(cleared.errors));
    if (wanted(pf::kEvRing) && OnRing)
        OnRing(this);
    if (wanted(pf::kEvRlsd) && OnRlsd)
        OnRlsd(this);
    if (wanted(pf::kEvRxChar) && cleared.status.cbInQue > 0 && OnRxChar)
        OnRxChar(this, cleared.status.cbInQue);
    if (wanted(pf::kEvRxFlag) && OnRxFlag)
        OnRxFlag(this);
    if (wanted(pf::kEvTxEmpty) && OnTxEmpty)
        OnTxEmpty(this);
    if (closeCount_.load(std::memory_order_acquire) == closes && OnComStatEvent)
        OnComStatEvent(this, eventMask, cleared.status);
}

} // namespace zopra
