#include "platform/PrinterClassDevices.h"

#include <utility>

namespace zopra::platform {

PrinterHandle& PrinterHandle::operator=(PrinterHandle&& other) noexcept {
    if (this != &other) {
        // The handle being replaced is closed, not leaked.
        Close();
        FNative = other.Release();
        FOpenError = other.FOpenError;
    }
    return *this;
}

PrinterHandle PrinterHandle::Failed(int code) noexcept {
    PrinterHandle handle;
    handle.FOpenError = code;
    return handle;
}

PrinterHandle::Native PrinterHandle::Release() noexcept {
    return std::exchange(FNative, kInvalid);
}

} // namespace zopra::platform
