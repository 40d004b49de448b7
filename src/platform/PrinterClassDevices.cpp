#include "platform/PrinterClassDevices.h"

#include <utility>

namespace zopra::platform {

PrinterHandle& PrinterHandle::operator=(PrinterHandle&& other) noexcept {
    if (this != &other) {
        // The handle being replaced is closed, not leaked, and its pending read cancelled.
        Close();
        FNative = std::exchange(other.FNative, kInvalid);
        FPending = std::move(other.FPending);
        FOpenError = other.FOpenError;
        FLastError = other.FLastError;
    }
    return *this;
}

PrinterHandle PrinterHandle::Failed(int code) noexcept {
    PrinterHandle handle;
    handle.FOpenError = code;
    return handle;
}

PrinterHandlePair PrinterClassDevices::OpenPair(const std::string& name) {
    PrinterHandle read = Open(name);
    PrinterHandle write = read.Valid() ? read.Duplicate() : PrinterHandle::Failed(read.OpenError());
    return {std::move(read), std::move(write)};
}

PrinterHandle::Native PrinterHandle::Release() noexcept {
    FPending.reset();
    return std::exchange(FNative, kInvalid);
}

} // namespace zopra::platform
