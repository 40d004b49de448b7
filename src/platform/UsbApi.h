#pragma once
// The cutter's vendor USB library: five operations on 32-bit values. Windows loads
// USBAPI.DLL and calls it by ordinal; Linux has its own implementation over libusb-1.0
// plus the vendor-library devices virtual-cutter announces.
//
// Results, as every caller relies on them:
//   UsbOpenDevice   a handle, -1 when no device answers at that index
//   UsbCloseDevice  not used by callers
//   UsbWrite        not used by callers (bytes written, negative on failure)
//   UsbQueryInput   negative: nothing to read now; zero or more: a read will deliver data
//   UsbRead         zero or more: `count` holds the bytes placed (at most `capacity`);
//                   negative: nothing was read and `count` is not set
// Every operation on -1 or on a closed or unknown handle fails harmlessly.
// UsbWrite may run on one thread while UsbQueryInput and UsbRead run on another.
#include <cstdint>
#include <memory>

namespace zopra::platform {

class UsbApi {
public:
    static constexpr std::int32_t kNoDevice = -1;
    static constexpr std::int32_t kReadCapacity = 128;

    virtual ~UsbApi() = default;
    [[nodiscard]] virtual std::int32_t UsbOpenDevice(std::int32_t index) = 0;
    [[nodiscard]] virtual std::int32_t UsbCloseDevice(std::int32_t handle) = 0;
    [[nodiscard]] virtual std::int32_t UsbWrite(std::int32_t handle, const void* bytes,
                                                std::int32_t count) = 0;
    [[nodiscard]] virtual std::int32_t UsbQueryInput(std::int32_t handle, std::int32_t* count) = 0;
    [[nodiscard]] virtual std::int32_t UsbRead(std::int32_t handle, void* buffer,
                                               std::int32_t capacity, std::int32_t* count) = 0;
    // Why the last UsbOpenDevice that found a device could not open it, as a system error
    // code (EACCES, EBUSY); 0 when it opened, when there was no device at that number, or
    // when the library cannot tell (USBAPI.DLL cannot).
    [[nodiscard]] virtual int LastOpenError() const { return 0; }
    // True once a transfer on `handle` found the device gone (unplugged, or the virtual
    // cutter's socket closed). USBAPI.DLL cannot tell, so there it stays false.
    [[nodiscard]] virtual bool DeviceGone(std::int32_t /*handle*/) { return false; }
};

// The library of this computer. On Windows a missing USBAPI.DLL gives an instance whose
// operations all fail harmlessly.
std::unique_ptr<UsbApi> OpenUsbApi();

} // namespace zopra::platform
