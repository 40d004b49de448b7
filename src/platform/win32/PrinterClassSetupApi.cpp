// USB printer-class devices on Windows: the device setup services list the interfaces of
// the class, a device path is opened with CreateFileA. The handle is opened for
// overlapped I/O so that every read and write can be waited for with a bound and
// cancelled after it; to the caller it behaves as a synchronous handle.
#include "platform/PrinterClassDevices.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <vector>

namespace zopra::platform {

namespace {

GUID ToGuid(const InterfaceClassGuid& id) {
    GUID guid{};
    guid.Data1 = id.Data1;
    guid.Data2 = id.Data2;
    guid.Data3 = id.Data3;
    std::copy(id.Data4.begin(), id.Data4.end(), guid.Data4);
    return guid;
}

class SetupApiInterfaceList final : public PrinterInterfaceList {
public:
    SetupApiInterfaceList(HDEVINFO list, GUID interfaceClass)
        : FList(list), FClass(interfaceClass) {}
    ~SetupApiInterfaceList() override { SetupDiDestroyDeviceInfoList(FList); }
    SetupApiInterfaceList(const SetupApiInterfaceList&) = delete;
    SetupApiInterfaceList& operator=(const SetupApiInterfaceList&) = delete;

    InterfaceQuery DevicePath(int index, std::string& path) override {
        SP_DEVICE_INTERFACE_DATA data{};
        if (!Enumerate(index, data))
            return GetLastError() == ERROR_NO_MORE_ITEMS ? InterfaceQuery::NoMoreItems
                                                         : InterfaceQuery::Failed;
        // First ask for the size of the detail record, then read it.
        DWORD size = 0;
        SetupDiGetDeviceInterfaceDetailA(FList, &data, nullptr, 0, &size, nullptr);
        if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
            return InterfaceQuery::Failed;
        // DWORD elements keep the record's alignment.
        std::vector<DWORD> storage((size + sizeof(DWORD) - 1) / sizeof(DWORD) + 1);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(FList, &data, detail, size, nullptr, nullptr))
            return InterfaceQuery::Failed;
        path = detail->DevicePath;
        return InterfaceQuery::Found;
    }

    std::optional<std::uint32_t> PortNumber(int index) override {
        SP_DEVICE_INTERFACE_DATA data{};
        if (!Enumerate(index, data))
            return std::nullopt;
        HKEY key = SetupDiOpenDeviceInterfaceRegKey(FList, &data, 0, KEY_READ);
        if (key == INVALID_HANDLE_VALUE || key == nullptr)
            return std::nullopt;
        DWORD type = 0;
        DWORD value = 0;
        DWORD size = sizeof value;
        const LONG status = RegQueryValueExA(key, "Port Number", nullptr, &type,
                                             reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
            return std::nullopt;
        return value;
    }

private:
    bool Enumerate(int index, SP_DEVICE_INTERFACE_DATA& data) {
        data = SP_DEVICE_INTERFACE_DATA{};
        data.cbSize = sizeof data;
        return SetupDiEnumDeviceInterfaces(FList, nullptr, &FClass, static_cast<DWORD>(index),
                                           &data) != FALSE;
    }

    HDEVINFO FList;
    GUID FClass;
};

class SetupApiPrinterClassDevices final : public PrinterClassDevices {
public:
    std::unique_ptr<PrinterInterfaceList>
    PresentInterfaces(const InterfaceClassGuid& interfaceClass) override {
        const GUID guid = ToGuid(interfaceClass);
        HDEVINFO list =
            SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
        if (list == INVALID_HANDLE_VALUE)
            return nullptr;
        return std::make_unique<SetupApiInterfaceList>(list, guid);
    }

    PrinterHandle Open(const std::string& name) override {
        HANDLE handle = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return PrinterHandle::Failed(static_cast<int>(GetLastError()));
        return PrinterHandle(reinterpret_cast<PrinterHandle::Native>(handle));
    }
};

// An event for one overlapped operation, closed with it.
class OverlappedOperation {
public:
    OverlappedOperation() { FOverlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~OverlappedOperation() {
        if (FOverlapped.hEvent != nullptr)
            CloseHandle(FOverlapped.hEvent);
    }
    OverlappedOperation(const OverlappedOperation&) = delete;
    OverlappedOperation& operator=(const OverlappedOperation&) = delete;

    bool Ready() const { return FOverlapped.hEvent != nullptr; }
    OVERLAPPED* Get() { return &FOverlapped; }

    // Waits for an operation that `started` (ReadFile or WriteFile) began, at most
    // `timeout`; cancels it when the time is up. Returns the bytes moved, or -1 when the
    // operation failed and moved nothing.
    std::ptrdiff_t Finish(HANDLE handle, BOOL started, std::chrono::milliseconds timeout) {
        DWORD moved = 0;
        if (!started && GetLastError() != ERROR_IO_PENDING)
            return -1;
        const auto wait = static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, 0x7fffffff));
        if (WaitForSingleObject(FOverlapped.hEvent, wait) != WAIT_OBJECT_0)
            CancelIoEx(handle, &FOverlapped);
        // After a cancel the operation ends promptly; what it moved before still counts.
        if (GetOverlappedResult(handle, &FOverlapped, &moved, TRUE))
            return static_cast<std::ptrdiff_t>(moved);
        if (GetLastError() == ERROR_OPERATION_ABORTED)
            return static_cast<std::ptrdiff_t>(moved);
        return moved > 0 ? static_cast<std::ptrdiff_t>(moved) : -1;
    }

private:
    OVERLAPPED FOverlapped{};
};

HANDLE AsHandle(PrinterHandle::Native native) {
    return reinterpret_cast<HANDLE>(native);
}

} // namespace

void PrinterHandle::Close() noexcept {
    if (Valid())
        CloseHandle(AsHandle(Release()));
}

std::ptrdiff_t PrinterHandle::Read(void* buffer, std::size_t capacity,
                                   std::chrono::milliseconds timeout) {
    if (!Valid() || buffer == nullptr)
        return -1;
    if (capacity == 0)
        return 0;
    OverlappedOperation operation;
    if (!operation.Ready())
        return -1;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(capacity, 0x7fffffff));
    const BOOL started = ReadFile(AsHandle(FNative), buffer, size, nullptr, operation.Get());
    return operation.Finish(AsHandle(FNative), started, timeout);
}

std::ptrdiff_t PrinterHandle::Write(const void* bytes, std::size_t count,
                                    std::chrono::milliseconds timeout) {
    if (!Valid() || (bytes == nullptr && count > 0))
        return -1;
    OverlappedOperation operation;
    if (!operation.Ready())
        return -1;
    const auto size = static_cast<DWORD>(std::min<std::size_t>(count, 0x7fffffff));
    const BOOL started = WriteFile(AsHandle(FNative), bytes, size, nullptr, operation.Get());
    const auto written = operation.Finish(AsHandle(FNative), started, timeout);
    return written == 0 && count > 0 ? -1 : written;
}

std::shared_ptr<PrinterClassDevices> SystemPrinterClassDevices() {
    return std::make_shared<SetupApiPrinterClassDevices>();
}

} // namespace zopra::platform
