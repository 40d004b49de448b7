#pragma once
// The cutter connections of this computer and the one that is open: discovery of the
// entries of the connection list, opening the chosen one, the raw write to it and the
// reads of the receive thread. The window owns one instance and calls it from its
// handlers; the receive thread reads through the LinkReader side.
#include "link/LinkKind.h"
#include "link/PrinterClassLink.h"
#include "link/ReceiveThread.h"
#include "link/SerialComponent.h"
#include "link/UsbApiLink.h"
#include "platform/PrinterClassDevices.h"
#include "platform/UsbApi.h"
#include "protocol/LinkWrite.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace zopra {

// One entry of the connection list and the device that produced it, so that a list
// position always stands for its own device.
struct ConnectionEntry {
    std::string text;
    LinkKind kind = kLinkSerial;
    int device = -1; // printer-class slot or vendor-library device number
    // Where a printer-class cutter sits: its device node, or on Windows its printer port
    // ("USB001"); "" for the other kinds, whose text is their port.
    std::string port = {};

    // What the connection list shows: a printer-class cutter by the model its probe
    // answered and where it sits, every other entry by its text.
    std::string ListText() const {
        return kind == kLinkPrinterClass && !port.empty() ? text + " (" + port + ")" : text;
    }
    // The port the entry stands for, as the last port used is kept.
    std::string PortName() const { return kind == kLinkPrinterClass ? port : text; }
};

class CutterConnections : public LinkReader {
public:
    using MessageSink = std::function<void(const std::string& text)>;
    using PortLister = std::function<std::vector<std::string>()>;

    // Short, so that replacing a handle never waits long for a read in progress.
    static constexpr std::chrono::milliseconds kPrinterReadSlice{50};
    // The fixed pause after each serial write and around opening a serial port.
    static constexpr std::chrono::milliseconds kSerialPause{20};

    // The devices of this computer.
    CutterConnections();
    // Made-up devices, for tests.
    CutterConnections(std::unique_ptr<CUsbIF> usbIF, std::unique_ptr<platform::UsbApi> usbApi,
                      std::shared_ptr<platform::SerialDriver> serialDriver,
                      PortLister listSerialPorts);
    ~CutterConnections() override;

    TComm& Comm2() { return *FComm2; }

    // Rebuilds the entries: printer-class cutters by the model name their probe answered,
    // then the serial ports, then the vendor-library devices that open. showMessage gets
    // "Error Read Handle" / "Error Write Handle" for a device that cannot be opened, and
    // "Error Open QRM USB<n>" for a vendor device that is there but refused; each with a
    // hint line when the cause is known.
    const std::vector<ConnectionEntry>& RefreshConnections(const MessageSink& showMessage);
    const std::vector<ConnectionEntry>& Entries() const { return FEntries; }
    // Takes entries that another instance's discovery found, without probing any device
    // again: several connections run side by side, and a probe sent to a cutter that
    // another connection is reading would corrupt that read. The printer-class table is
    // walked afresh (no device is opened) so that the entries' slots can be opened here.
    void UseEntries(std::vector<ConnectionEntry> entries);
    const std::string& ProbeModel() const { return FProbeModel; }

    // The link kind for the list's selected position (-1 for a typed text) and its text:
    // a listed position gives its entry's own kind; a typed text gives LinkKindOfText's
    // kind, and keeps the current kind when it names none.
    LinkKind ChooseLinkKind(int position, const std::string& text);
    LinkKind FLinkKind() const { return FLinkKind_.load(std::memory_order_acquire); }
    void SetLinkKind(LinkKind kind) { FLinkKind_.store(kind, std::memory_order_release); }

    // Opens the link of the current kind for the chosen entry. 1 on success; 0 for a
    // serial port without any active modem line (closed again). A port the system refuses
    // throws ECommError, its message followed by a hint line when the cause is known.
    // Whatever the device sent before it was opened is discarded: it answers no query of
    // this connection.
    int OpenConnection(int position, const std::string& text);

    // True once the open link reported its device gone (a serial hang-up, a printer-class
    // node or vendor device unplugged); false again after the next opening.
    bool LinkLost() const override;

    // The device of the open link as the doctor names it: a serial port's list text, a
    // printer-class interface's device path; "" when none is open (or the vendor library's,
    // which the doctor does not open).
    std::string OpenDevice();

    // The one raw write to whichever link is open. Tells whether every byte went out, and
    // if not why (no link open, the write refused, fewer bytes taken); nothing is retried.
    LinkWriteResult WriteToLink(const std::string& bytes);

    // LinkReader, for the receive thread.
    LinkKind Kind() const override { return FLinkKind(); }
    std::uint64_t Openings() const override { return FOpenings.load(std::memory_order_acquire); }
    bool SerialOpen() override;
    int SerialInQueCount() override;
    int SerialRead(char* buffer, int count) override;
    int PrinterRead(char* buffer, int capacity) override;
    std::optional<int> UsbReceive(char* buffer, int capacity) override;

private:
    int OpenChosenLink(int position, const std::string& text);
    LinkWriteResult WriteToOpenLink(const std::string& bytes);
    void ProbePrinterDevices(const MessageSink& showMessage);
    void AddSerialPorts();
    void AddVendorDevices(const MessageSink& showMessage);
    void OpenPrinterDevice(int slot);
    std::string PrinterPortText(int slot) const;
    // Closes the link's printer handles when they were opened on `name`, so that the same
    // node can be opened again: usblp refuses a second open of a node while one is open,
    // and discovery keeps the last probed device's handles while a connect reopens it.
    void ReleasePrinterHandlesOn(const std::string& name);
    void OpenVendorDevice(int number);
    void CountOpening() { FOpenings.fetch_add(1, std::memory_order_acq_rel); }
    void DiscardWaitingInput();
    void NoteLost(bool gone) {
        if (gone)
            FLost.store(true, std::memory_order_release);
    }

    std::unique_ptr<CUsbIF> FUsbIF;
    std::unique_ptr<platform::UsbApi> FUsbApi;
    std::unique_ptr<TComm> FComm2;
    PortLister FListSerialPorts;
    std::vector<ConnectionEntry> FEntries;
    std::string FProbeModel;
    std::atomic<LinkKind> FLinkKind_{kLinkPrinterClass};
    std::atomic<std::uint64_t> FOpenings{0};
    // Set by the USB reads and writes that found the device gone; the serial component
    // keeps its own.
    std::atomic<bool> FLost{false};

    // The handles are replaced on the interface thread while the receive thread reads.
    std::mutex FHandlesMutex;
    platform::PrinterHandle FReadHandle;
    platform::PrinterHandle FWriteHandle;
    // The device name the printer handles were opened on; "" when none are held.
    std::string FPrinterName;
    // The list text of the serial port opened last.
    std::string FSerialText;
    // -1 until a vendor-library device is opened, so that no read goes to a stray handle.
    UsbApiHandle FUsbHandle;
    int FUsbDevice = -1;
};

// The serial component as a cutter connection uses it: 57600 bit/s, 8 data bits, no parity,
// one stop bit, no handshake, every event watched.
std::unique_ptr<TComm> MakeCutterComm(std::shared_ptr<platform::SerialDriver> driver);

// Opens the serial port of a list text as Connect does: the port, its line settings and
// buffers (TComm::Open), then its modem lines. True when one of them is active (a line whose
// state cannot be read counts as active); false when none is, and the port is closed again.
// A port the system refuses throws ECommError, its message followed by the hint line.
bool OpenSerialPort(TComm& comm, const std::string& text);

// What Connect would find on a serial port, found the same way (OpenSerialPort) on a
// component of its own, which is closed again: the doctor's check of a port.
struct SerialPortCheck {
    enum class Outcome { Opens, NoModemLine, Refused };
    Outcome outcome = Outcome::Refused;
    int error = 0;       // the system's error number of a refused open (ECommError's code)
    std::string message; // the serial component's message ("Port not open (Error: 1)")
};
SerialPortCheck CheckSerialPort(std::shared_ptr<platform::SerialDriver> driver,
                                const std::string& text);

// The link kind a typed text names: one containing "COM" (in any case: "com3") or a device
// path is a serial port, one containing "QRM USB" a vendor-library device; none else.
// The list's own texts need no reading: each entry carries its kind.
std::optional<LinkKind> LinkKindOfText(const std::string& text);

// The vendor-library device number in a list text "QRM USB<n>" (0 when none is given).
int VendorDeviceNumber(const std::string& text);

} // namespace zopra
