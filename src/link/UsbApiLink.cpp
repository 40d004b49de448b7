#include "link/UsbApiLink.h"

#include "platform/Trace.h"

#include <string>
#include <utility>

namespace zopra {

UsbApiHandle::UsbApiHandle(UsbApiHandle&& other) noexcept
    : FApi(other.FApi), FHandle(std::exchange(other.FHandle, platform::UsbApi::kNoDevice)) {}

UsbApiHandle& UsbApiHandle::operator=(UsbApiHandle&& other) noexcept {
    if (this != &other) {
        // The handle being replaced is closed, not leaked.
        Close();
        FApi = other.FApi;
        FHandle = std::exchange(other.FHandle, platform::UsbApi::kNoDevice);
    }
    return *this;
}

void UsbApiHandle::Close() noexcept {
    // The handle is given up whatever the library says: there is nothing else to do with it.
    if (Valid() && FApi != nullptr && FApi->UsbCloseDevice(FHandle) < 0)
        platform::TraceNote("UsbCloseDevice failed", std::to_string(FHandle));
    FHandle = platform::UsbApi::kNoDevice;
}

UsbApiHandle OpenUsbApiDevice(platform::UsbApi& api, std::int32_t index) {
    return UsbApiHandle(api, api.UsbOpenDevice(index));
}

std::vector<int> PresentUsbApiDevices(platform::UsbApi& api) {
    std::vector<int> present;
    for (int number = 0; number < kUsbApiDeviceNumbers; ++number) {
        if (OpenUsbApiDevice(api, number).Valid())
            present.push_back(number);
    }
    return present;
}

} // namespace zopra
