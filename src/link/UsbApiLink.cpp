#include "link/UsbApiLink.h"

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
    if (Valid() && FApi != nullptr)
        FApi->UsbCloseDevice(FHandle);
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
