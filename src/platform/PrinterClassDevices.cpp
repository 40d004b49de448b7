#include "platform/PrinterClassDevices.h"

#include <utility>

namespace zopra::platform {

PrinterHandle& PrinterHandle::operator=(PrinterHandle&& other) noexcept {
    if (this != &other) {
        // The handle being replaced is closed, not leaked.
        Close();
        FNative = other.Release();
    }
    return *this;
}

PrinterHandle::Native PrinterHandle::Release() noexcept {
    return std::exchange(FNative, kInvalid);
}

} // namespace zopra::platform
