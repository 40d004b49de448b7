#pragma once
// USB printer-class device interfaces: the list of present interfaces with their device
// paths, and file handles opened on a device path. Windows reads the list from the device
// setup services, Linux from sysfs (usblp) plus the devices virtual-cutter announces.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace zopra::platform {

// The cutter maker's USB vendor id, and the same as sysfs and Windows device paths write it
// ("idVendor" holds "7a3c"; a path holds "vid_7a3c", on Windows also "VID_7A3C").
inline constexpr std::uint16_t kCutterVendorId = 0x7a3c;
inline constexpr std::string_view kCutterVendorIdText = "7a3c";

// A device interface class, laid out as the 16 bytes of a Windows GUID.
struct InterfaceClassGuid {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::array<std::uint8_t, 8> Data4{};

    bool operator==(const InterfaceClassGuid&) const = default;
};
static_assert(sizeof(InterfaceClassGuid) == 16);

// The published USB printer device interface class {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}.
inline constexpr InterfaceClassGuid kUsbPrinterInterfaceClass{
    0x28D78FAD, 0x5A12, 0x11D1, {0xAE, 0x5B, 0x00, 0x00, 0xF8, 0x03, 0xA8, 0xC2}};

// An open device file. Owns the OS handle (a file descriptor on Linux, a HANDLE on
// Windows) and closes it when destroyed or replaced. Reads and writes wait a bounded
// time, so a device that never answers cannot hold a thread for ever.
class PrinterHandle {
public:
    using Native = std::intptr_t;
    // INVALID_HANDLE_VALUE on Windows, the failed-open result on Linux.
    static constexpr Native kInvalid = -1;
    static constexpr std::chrono::milliseconds kWriteTimeout{2000};

    PrinterHandle() noexcept = default;
    explicit PrinterHandle(Native native) noexcept : FNative(native) {}
    PrinterHandle(PrinterHandle&& other) noexcept
        : FNative(other.FNative), FPending(std::move(other.FPending)), FOpenError(other.FOpenError),
          FLastError(other.FLastError) {
        other.FNative = kInvalid;
    }
    PrinterHandle& operator=(PrinterHandle&& other) noexcept;
    PrinterHandle(const PrinterHandle&) = delete;
    PrinterHandle& operator=(const PrinterHandle&) = delete;
    ~PrinterHandle() { Close(); }

    bool Valid() const noexcept { return FNative != kInvalid; }
    // A handle whose open failed with the system error `code` (errno, GetLastError), kept
    // so that the message about it can say why.
    static PrinterHandle Failed(int code) noexcept;
    // The system error of the failed open; 0 for a handle that opened or when it is unknown.
    int OpenError() const noexcept { return FOpenError; }
    Native NativeHandle() const noexcept { return FNative; }
    // Gives up ownership without closing; a read still pending is cancelled.
    Native Release() noexcept;
    // Closes the handle; a read still pending is cancelled first.
    void Close() noexcept;
    // A second handle on the same open file (dup, DuplicateHandle): the device sees one
    // open. Invalid, with the system error, when that fails.
    PrinterHandle Duplicate() const;

    // Reads what the device delivers, at most `capacity` bytes, waiting at most `timeout`
    // for the first byte. Returns the number of bytes read, 0 when nothing came in time,
    // or -1 when the read failed (invalid handle, device gone). A read that brings nothing
    // in time is not cancelled (on Windows it stays pending, so that bytes completing it
    // while it would be cancelled cannot be lost); the next Read delivers what it brought.
    std::ptrdiff_t Read(void* buffer, std::size_t capacity, std::chrono::milliseconds timeout);

    // Writes all bytes unless the device refuses them or stops taking them for `timeout`.
    // Returns the number of bytes written, or -1 when none could be written.
    std::ptrdiff_t Write(const void* bytes, std::size_t count,
                         std::chrono::milliseconds timeout = kWriteTimeout);

    // The system error of the last Read or Write that failed (end of file counts as ENODEV
    // on Linux); 0 when none has failed.
    int LastError() const noexcept { return FLastError; }

private:
    // A read the OS still works on, kept from one Read to the next (Windows only).
    struct PendingRead;
    // Cancels the read if the system still works on it, then frees it.
    struct PendingReadDeleter {
        void operator()(PendingRead* read) const noexcept;
    };

    Native FNative = kInvalid;
    std::unique_ptr<PendingRead, PendingReadDeleter> FPending;
    int FOpenError = 0;
    int FLastError = 0;
};

enum class InterfaceQuery {
    Found,      // the interface exists and its device path was read
    Failed,     // this index could not be read; later indexes may still exist
    NoMoreItems // the list has no interface at this index or above
};

// One snapshot of the present interfaces of a class; released when destroyed.
class PrinterInterfaceList {
public:
    virtual ~PrinterInterfaceList() = default;
    // Reads the device path of interface `index` (0, 1, 2, ...) into `path`.
    virtual InterfaceQuery DevicePath(int index, std::string& path) = 0;
    // The interface's "Port Number" value; nullopt when it cannot be read.
    virtual std::optional<std::uint32_t> PortNumber(int index) = 0;
};

// The read handle and the write handle of one connection to a device.
struct PrinterHandlePair {
    PrinterHandle Read;
    PrinterHandle Write;
};

class PrinterClassDevices {
public:
    virtual ~PrinterClassDevices() = default;
    // The interfaces of `interfaceClass` present now; nullptr when the system refuses
    // the request.
    virtual std::unique_ptr<PrinterInterfaceList>
    PresentInterfaces(const InterfaceClassGuid& interfaceClass) = 0;
    // Opens a device path for reading and writing, for this program alone (a device that
    // another program holds is refused as busy); an invalid handle when that fails.
    virtual PrinterHandle Open(const std::string& name) = 0;
    // The two handles of a connection to a device path: one open, and the write handle a
    // duplicate of the read handle. usblp and some usbprint devices refuse every further
    // open while one is open. A handle that fails keeps its system error.
    PrinterHandlePair OpenPair(const std::string& name);
};

// The printer-class devices of this computer.
std::shared_ptr<PrinterClassDevices> SystemPrinterClassDevices();

} // namespace zopra::platform
