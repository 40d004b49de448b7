#include "link/Connections.h"

#include "link/OpenHint.h"
#include "link/PrinterProbe.h"
#include "platform/DeviceAccess.h"
#include "platform/SerialPortList.h"
#include "platform/Trace.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <thread>

namespace zopra {

namespace {

using namespace std::chrono_literals;

// Devices are opened by their bare path: usbprint needs no suffix after it.
constexpr std::nullopt_t kBarePath = std::nullopt;

bool ContainsIgnoringCase(const std::string& text, std::string_view part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) ==
                      std::toupper(static_cast<unsigned char>(b));
           }) != text.end();
}

// Serial ports on Linux are listed as device paths ("/dev/ttyUSB0", "/dev/pts/3").
bool IsDevicePath(const std::string& text) {
    return text.rfind("/dev/", 0) == 0;
}

// What a write that reported `written` of `count` bytes came to; `device` names the link.
LinkWriteResult WriteOutcome(const std::string& device, long long written, std::size_t count) {
    if (written >= 0 && static_cast<std::size_t>(written) == count)
        return LinkWriteResult::Done();
    if (written <= 0)
        return LinkWriteResult::Failed(device + " refused the write.");
    return LinkWriteResult::Failed(device + " took " + std::to_string(written) + " of " +
                                   std::to_string(count) + " bytes.");
}

} // namespace

int VendorDeviceNumber(const std::string& text) {
    const std::string prefix = "QRM USB";
    const auto at = text.find(prefix);
    if (at == std::string::npos)
        return 0;
    int number = 0;
    bool any = false;
    for (std::size_t i = at + prefix.size();
         i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && number < 1000;
         ++i) {
        number = number * 10 + (text[i] - '0');
        any = true;
    }
    return any ? number : 0;
}

CutterConnections::CutterConnections()
    : CutterConnections(std::make_unique<CUsbIF>(), platform::OpenUsbApi(),
                        platform::SystemSerialDriver(), &platform::ListSerialPorts) {}

CutterConnections::CutterConnections(std::unique_ptr<CUsbIF> usbIF,
                                     std::unique_ptr<platform::UsbApi> usbApi,
                                     std::shared_ptr<platform::SerialDriver> serialDriver,
                                     PortLister listSerialPorts)
    : FUsbIF(std::move(usbIF)), FUsbApi(std::move(usbApi)),
      FComm2(MakeCutterComm(std::move(serialDriver))),
      FListSerialPorts(std::move(listSerialPorts)) {}

std::unique_ptr<TComm> MakeCutterComm(std::shared_ptr<platform::SerialDriver> driver) {
    auto comm = std::make_unique<TComm>(std::move(driver));
    comm->SetDeviceName("Com2");
    comm->SetMonitorEvents(AllCommEvents);
    comm->SetBaudRate(br57600);
    comm->SetFlowControl(fcNone);
    return comm;
}

namespace {

bool ModemLinesActive(TComm& comm) {
    // DSR, CTS, RING, RLSD; a line whose state cannot be read counts as active.
    for (int line : {2, 1, 3, 4})
        if (comm.GetModemState(line))
            return true;
    return false;
}

} // namespace

bool OpenSerialPort(TComm& comm, const std::string& text) {
    const std::string device = platform::SerialDeviceName(text);
    comm.SetDeviceName(device);
    try {
        comm.Open();
    } catch (const ECommError& error) {
        throw ECommError(WithOpenHint(error.what(), error.Code(), kLinkSerial, device),
                         error.Code());
    }
    if (!ModemLinesActive(comm)) {
        comm.Close();
        return false;
    }
    return true;
}

SerialPortCheck CheckSerialPort(std::shared_ptr<platform::SerialDriver> driver,
                                const std::string& text) {
    const std::unique_ptr<TComm> comm = MakeCutterComm(std::move(driver));
    SerialPortCheck check;
    try {
        check.outcome = OpenSerialPort(*comm, text) ? SerialPortCheck::Outcome::Opens
                                                    : SerialPortCheck::Outcome::NoModemLine;
    } catch (const ECommError& error) {
        check.error = error.Code();
        const std::string message = error.what();
        check.message = message.substr(0, message.find('\n')); // the hint is the doctor's own
        return check;
    }
    comm->Close();
    return check;
}

std::string CutterConnections::OpenDevice() {
    switch (FLinkKind()) {
    case kLinkSerial:
        return FComm2->Enabled() ? FSerialText : std::string();
    case kLinkPrinterClass: {
        std::lock_guard lock(FHandlesMutex);
        return FPrinterName;
    }
    default:
        return {};
    }
}

CutterConnections::~CutterConnections() {
    FComm2->Close();
}

const std::vector<ConnectionEntry>&
CutterConnections::RefreshConnections(const MessageSink& showMessage) {
    FEntries.clear();
    ProbePrinterDevices(showMessage);
    AddSerialPorts();
    AddVendorDevices(showMessage);
    return FEntries;
}

void CutterConnections::UseEntries(std::vector<ConnectionEntry> entries) {
    const bool anyPrinter = std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
        return entry.kind == kLinkPrinterClass;
    });
    if (anyPrinter)
        FUsbIF->EnumerateDevices();
    FEntries = std::move(entries);
}

void CutterConnections::ProbePrinterDevices(const MessageSink& showMessage) {
    const int count = FUsbIF->EnumerateDevices();
    for (int slot = 0; slot < count; ++slot) {
        // Another maker's printer is neither opened nor listed.
        if (!FUsbIF->IsCutter(slot))
            continue;
        const std::string name = FUsbIF->DeviceName(slot, kBarePath);
        ReleasePrinterHandlesOn(name);
        platform::PrinterHandlePair handles = FUsbIF->OpenDevicePair(slot, kBarePath);
        if (platform::ClassifyOpenError(handles.Read.OpenError()) == platform::OpenFailure::Busy) {
            // Held by another program (the spooler, a second zopra): it is not written to,
            // and not worth a message box each time the list opens.
            platform::TraceNote("a printer-class cutter in use elsewhere is skipped", name);
            continue;
        }
        if (!handles.Read.Valid())
            showMessage(WithOpenHint("Error Read Handle", handles.Read.OpenError(),
                                     kLinkPrinterClass, name));
        if (!handles.Write.Valid()) {
            showMessage(WithOpenHint("Error Write Handle", handles.Write.OpenError(),
                                     kLinkPrinterClass, name));
            continue; // no entry, and the positions after it still name their own devices
        }
        FProbeModel = ModelNameFromProbeAnswer(ProbePrinterAnswer(handles.Write, handles.Read));
        FEntries.push_back({FProbeModel, kLinkPrinterClass, slot, PrinterPortText(slot)});
        // The probed device's handles stay open in the link fields; the ones they replace
        // are closed.
        std::lock_guard lock(FHandlesMutex);
        FReadHandle = std::move(handles.Read);
        FWriteHandle = std::move(handles.Write);
        FPrinterName = name;
        CountOpening();
    }
}

std::string CutterConnections::PrinterPortText(int slot) const {
    if (const int number = FUsbIF->PortNumber(slot); number > 0) {
        char port[8];
        std::snprintf(port, sizeof port, "USB%03d", number);
        return port;
    }
    // The device path up to the ids that discovery appends to it.
    const std::string_view path = FUsbIF->DevicePath(slot);
    return std::string(path.substr(0, path.find('#')));
}

void CutterConnections::ReleasePrinterHandlesOn(const std::string& name) {
    std::lock_guard lock(FHandlesMutex);
    if (name != FPrinterName)
        return;
    FReadHandle.Close();
    FWriteHandle.Close();
    FPrinterName.clear();
    CountOpening();
}

void CutterConnections::AddSerialPorts() {
    for (const std::string& port : FListSerialPorts())
        FEntries.push_back({port, kLinkSerial, -1});
}

void CutterConnections::AddVendorDevices(const MessageSink& showMessage) {
    for (int number = 0; number < kUsbApiDeviceNumbers; ++number) {
        const std::string text = "QRM USB" + std::to_string(number);
        bool present = false;
        {
            // The device that is open now is listed without a second open, which could
            // take it from the open link.
            std::lock_guard lock(FHandlesMutex);
            present = number == FUsbDevice && FUsbHandle.Valid();
        }
        if (present || OpenUsbApiDevice(*FUsbApi, number).Valid())
            FEntries.push_back({text, kLinkVendorUsb, number});
        else if (const int error = FUsbApi->LastOpenError(); error != 0)
            // A cutter is there but refused: without a word it would just be missing.
            showMessage(WithOpenHint("Error Open " + text, error, kLinkVendorUsb, {}));
    }
}

std::optional<LinkKind> LinkKindOfText(const std::string& text) {
    if (ContainsIgnoringCase(text, "COM") || IsDevicePath(text))
        return kLinkSerial;
    if (text.find("QRM USB") != std::string::npos)
        return kLinkVendorUsb;
    return std::nullopt;
}

LinkKind CutterConnections::ChooseLinkKind(int position, const std::string& text) {
    // A listed entry knows its own kind; only a typed text is read for one.
    if (position >= 0 && position < static_cast<int>(FEntries.size()))
        SetLinkKind(FEntries[position].kind);
    else if (const auto kind = LinkKindOfText(text))
        SetLinkKind(*kind);
    return FLinkKind();
}

int CutterConnections::OpenConnection(int position, const std::string& text) {
    const int opened = OpenChosenLink(position, text);
    if (opened == 1)
        DiscardWaitingInput();
    return opened;
}

void CutterConnections::DiscardWaitingInput() {
    // A stale or repeated line would be read as the answer to the first query and shift
    // every reply after it. A few reads are enough: a cutter sends nothing unasked.
    constexpr int kMaxReads = 16;
    std::array<char, platform::UsbApi::kReadCapacity> scratch{};
    switch (FLinkKind()) {
    case kLinkSerial:
        FComm2->PurgeIn();
        break;
    case kLinkVendorUsb:
        for (int i = 0; i < kMaxReads; ++i) {
            const std::optional<int> n = UsbReceive(scratch.data(), scratch.size());
            if (!n || *n <= 0)
                break;
        }
        break;
    case kLinkPrinterClass: {
        std::lock_guard lock(FHandlesMutex);
        for (int i = 0; i < kMaxReads; ++i)
            if (FReadHandle.Read(scratch.data(), scratch.size(), std::chrono::milliseconds(0)) <= 0)
                break;
        break;
    }
    default:
        break;
    }
}

bool CutterConnections::LinkLost() const {
    switch (FLinkKind()) {
    case kLinkSerial:
        return FComm2->Enabled() && FComm2->DeviceLost();
    case kLinkVendorUsb:
    case kLinkPrinterClass:
        return FLost.load(std::memory_order_acquire);
    default:
        return false;
    }
}

int CutterConnections::OpenChosenLink(int position, const std::string& text) {
    // Whatever the receive thread assembled so far belongs to the connection that ends here.
    CountOpening();
    FLost.store(false, std::memory_order_release);
    if (FComm2->Enabled()) {
        FComm2->Close();
        std::this_thread::sleep_for(kSerialPause);
    }
    const bool entryChosen = position >= 0 && position < static_cast<int>(FEntries.size());
    switch (FLinkKind()) {
    case kLinkSerial:
        FSerialText = text;
        if (!OpenSerialPort(*FComm2, text))
            return 0;
        std::this_thread::sleep_for(kSerialPause);
        return 1;
    case kLinkVendorUsb:
        OpenVendorDevice(entryChosen && FEntries[position].kind == kLinkVendorUsb
                             ? FEntries[position].device
                             : VendorDeviceNumber(text));
        return 1;
    case kLinkPrinterClass:
        OpenPrinterDevice(entryChosen && FEntries[position].kind == kLinkPrinterClass
                              ? FEntries[position].device
                              : position);
        return 1;
    default:
        return 1;
    }
}

void CutterConnections::OpenVendorDevice(int number) {
    std::lock_guard lock(FHandlesMutex);
    FUsbHandle = UsbApiHandle(); // the old device is closed before it is opened again
    FUsbHandle = OpenUsbApiDevice(*FUsbApi, number);
    FUsbDevice = number;
}

void CutterConnections::OpenPrinterDevice(int slot) {
    const std::string name = FUsbIF->DeviceName(slot, kBarePath);
    ReleasePrinterHandlesOn(name);
    platform::PrinterHandlePair handles = FUsbIF->OpenDevicePair(slot, kBarePath);
    std::lock_guard lock(FHandlesMutex);
    FReadHandle = std::move(handles.Read);
    FWriteHandle = std::move(handles.Write);
    FPrinterName = name;
}

LinkWriteResult CutterConnections::WriteToLink(const std::string& bytes) {
    LinkWriteResult result = WriteToOpenLink(bytes);
    if (!result && LinkLost())
        result = LinkWriteResult::Failed(kConnectionLostMessage);
    return result;
}

LinkWriteResult CutterConnections::WriteToOpenLink(const std::string& bytes) {
    switch (FLinkKind()) {
    case kLinkSerial: {
        LinkWriteResult result = LinkWriteResult::Failed("The serial port is not open.");
        if (FComm2->Enabled())
            result =
                WriteOutcome("The serial port",
                             FComm2->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size())),
                             bytes.size());
        // The pause follows every serial write, open port or not, failed or not.
        std::this_thread::sleep_for(kSerialPause);
        return result;
    }
    case kLinkVendorUsb: {
        std::lock_guard lock(FHandlesMutex);
        if (!FUsbHandle.Valid())
            return LinkWriteResult::Failed("No USB device is open.");
        const std::int32_t written = FUsbApi->UsbWrite(FUsbHandle.Get(), bytes.data(),
                                                       static_cast<std::int32_t>(bytes.size()));
        NoteLost(written < 0 && FUsbApi->DeviceGone(FUsbHandle.Get()));
        return WriteOutcome("The USB device", written, bytes.size());
    }
    case kLinkPrinterClass: {
        std::lock_guard lock(FHandlesMutex);
        if (!FWriteHandle.Valid())
            return LinkWriteResult::Failed("No USB printer-class device is open.");
        const std::ptrdiff_t written = FWriteHandle.Write(bytes.data(), bytes.size());
        NoteLost(written < 0 && platform::DeviceGone(FWriteHandle.LastError()));
        return WriteOutcome("The USB device", written, bytes.size());
    }
    default:
        return LinkWriteResult::Failed("No link is open.");
    }
}

bool CutterConnections::SerialOpen() {
    return FComm2->Enabled();
}

int CutterConnections::SerialInQueCount() {
    return FComm2->InQueCount();
}

int CutterConnections::SerialRead(char* buffer, int count) {
    return FComm2->Read(buffer, static_cast<std::uint32_t>(count));
}

int CutterConnections::PrinterRead(char* buffer, int capacity) {
    std::lock_guard lock(FHandlesMutex);
    const auto n = FReadHandle.Read(buffer, static_cast<std::size_t>(capacity), kPrinterReadSlice);
    NoteLost(n < 0 && platform::DeviceGone(FReadHandle.LastError()));
    return static_cast<int>(n);
}

std::optional<int> CutterConnections::UsbReceive(char* buffer, int capacity) {
    capacity = std::clamp(capacity, 0, platform::UsbApi::kReadCapacity);
    // One lock for the cycle, so that the handle cannot change between query and read.
    std::lock_guard lock(FHandlesMutex);
    // One count for both calls: the library's read may take what its query left there as
    // the number of bytes to read.
    std::int32_t count = 0;
    if (FUsbApi->UsbQueryInput(FUsbHandle.Get(), &count) < 0) {
        NoteLost(FUsbApi->DeviceGone(FUsbHandle.Get()));
        return std::nullopt;
    }
    // A read that takes the count as its size must still not write past the buffer.
    count = std::clamp(count, 0, capacity);
    const std::int32_t result = FUsbApi->UsbRead(FUsbHandle.Get(), buffer, capacity, &count);
    return result < 0 ? -1 : std::clamp(count, 0, capacity);
}

} // namespace zopra
