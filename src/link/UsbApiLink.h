#pragma once
// The vendor USB library as the link uses it: handles that close themselves, and the
// look at device numbers 0 to 3 that discovery makes.
#include "platform/UsbApi.h"

#include <cstdint>
#include <vector>

namespace zopra {

inline constexpr int kUsbApiDeviceNumbers = 4;

// A handle of the vendor library, closed with UsbCloseDevice when destroyed or replaced.
// Holds -1 when the library opened nothing.
class UsbApiHandle {
public:
    UsbApiHandle() noexcept = default;
    UsbApiHandle(platform::UsbApi& api, std::int32_t handle) noexcept
        : FApi(&api), FHandle(handle) {}
    UsbApiHandle(UsbApiHandle&& other) noexcept;
    UsbApiHandle& operator=(UsbApiHandle&& other) noexcept;
    UsbApiHandle(const UsbApiHandle&) = delete;
    UsbApiHandle& operator=(const UsbApiHandle&) = delete;
    ~UsbApiHandle() { Close(); }

    bool Valid() const noexcept { return FHandle != platform::UsbApi::kNoDevice; }
    std::int32_t Get() const noexcept { return FHandle; }
    void Close() noexcept;

private:
    platform::UsbApi* FApi = nullptr;
    std::int32_t FHandle = platform::UsbApi::kNoDevice;
};

// UsbOpenDevice(index) with its result in a handle that closes itself.
UsbApiHandle OpenUsbApiDevice(platform::UsbApi& api, std::int32_t index);

// The device numbers from 0 to 3 that the library opens now, in order; each device is
// closed again at once.
std::vector<int> PresentUsbApiDevices(platform::UsbApi& api);

} // namespace zopra
