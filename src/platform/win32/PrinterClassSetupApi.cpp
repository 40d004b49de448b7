// USB printer-class devices on Windows: the device setup services list the interfaces of
// the class, a device path is opened with CreateFileA. The handle is opened for
// overlapped I/O so that every read and write can be waited for with a bound; to the caller
// it behaves as a synchronous handle. A write is cancelled when its bound is up. A read is
// not: it stays pending until it brings something or the handle is closed, because a reply
// that completes a read while that read is being cancelled can be lost.
#include "platform/PrinterClassDevices.h"
#include "platform/Trace.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <array>
#include <utility>
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
        // Not shared: a device that the spooler or another program holds fails with a
        // sharing violation instead of taking our bytes in the middle of its job.
        HANDLE handle = CreateFileW(Widen(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
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
        if (WaitForSingleObject(FOverlapped.hEvent, wait) != WAIT_OBJECT_0 &&
            !CancelIoEx(handle, &FOverlapped) && GetLastError() != ERROR_NOT_FOUND)
            TraceFailure("CancelIoEx (a printer-class transfer past its bound)",
                         static_cast<int>(GetLastError()));
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

constexpr DWORD kEmptyReadPauseMs = 10;

DWORD WaitMs(std::chrono::milliseconds timeout) {
    return static_cast<DWORD>(std::clamp<long long>(timeout.count(), 0, 0x7fffffff));
}

} // namespace

// The read that outlives a Read call: its OVERLAPPED and its buffer stay at one address
// until the system has finished with them.
struct PrinterHandle::PendingRead {
    PendingRead() { Overlapped.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr); }
    ~PendingRead() {
        if (Overlapped.hEvent != nullptr)
            CloseHandle(Overlapped.hEvent);
    }
    PendingRead(const PendingRead&) = delete;
    PendingRead& operator=(const PendingRead&) = delete;

    // Hands out bytes a finished read brought beyond what the caller had room for.
    std::ptrdiff_t Take(void* buffer, std::size_t capacity) {
        const std::size_t n = std::min(capacity, Filled - Taken);
        std::copy_n(Bytes.data() + Taken, n, static_cast<char*>(buffer));
        Taken += n;
        return static_cast<std::ptrdiff_t>(n);
    }

    OVERLAPPED Overlapped{};
    HANDLE Handle = INVALID_HANDLE_VALUE; // the handle the read runs on
    std::array<char, 4096> Bytes{};
    bool Active = false; // the system still works on the read
    std::size_t Filled = 0;
    std::size_t Taken = 0;
};

void PrinterHandle::PendingReadDeleter::operator()(PendingRead* read) const noexcept {
    if (read->Active) {
        // The buffer may be freed only once the system has let go of it.
        DWORD moved = 0;
        if (!CancelIoEx(read->Handle, &read->Overlapped) && GetLastError() != ERROR_NOT_FOUND)
            TraceFailure("CancelIoEx (the pending printer-class read)",
                         static_cast<int>(GetLastError()));
        if (!GetOverlappedResult(read->Handle, &read->Overlapped, &moved, TRUE) &&
            GetLastError() != ERROR_OPERATION_ABORTED)
            TraceFailure("GetOverlappedResult (the pending printer-class read)",
                         static_cast<int>(GetLastError()));
    }
    delete read;
}

PrinterHandle PrinterHandle::Duplicate() const {
    if (!Valid())
        return Failed(ERROR_INVALID_HANDLE);
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(FNative), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS))
        return Failed(static_cast<int>(GetLastError()));
    return PrinterHandle(reinterpret_cast<PrinterHandle::Native>(copy));
}

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
    if (!FPending) {
        FPending.reset(new PendingRead);
        if (FPending->Overlapped.hEvent == nullptr) {
            FPending.reset();
            return -1;
        }
    }
    PendingRead& read = *FPending;
    if (read.Taken < read.Filled)
        return read.Take(buffer, capacity);
    const HANDLE handle = AsHandle(FNative);
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (!read.Active) {
            const HANDLE event = read.Overlapped.hEvent;
            read.Overlapped = OVERLAPPED{};
            read.Overlapped.hEvent = event;
            ResetEvent(event);
            const auto size = static_cast<DWORD>(std::min(capacity, read.Bytes.size()));
            if (!ReadFile(handle, read.Bytes.data(), size, nullptr, &read.Overlapped) &&
                GetLastError() != ERROR_IO_PENDING) {
                FLastError = static_cast<int>(GetLastError());
                return -1;
            }
            read.Active = true;
            read.Handle = handle;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (WaitForSingleObject(read.Overlapped.hEvent, WaitMs(left)) != WAIT_OBJECT_0)
            return 0; // still pending: the next Read goes on waiting for the same read
        DWORD moved = 0;
        const BOOL finished = GetOverlappedResult(handle, &read.Overlapped, &moved, FALSE);
        read.Active = false;
        if (!finished && moved == 0) {
            FLastError = static_cast<int>(GetLastError());
            return -1;
        }
        if (moved > 0) {
            read.Filled = moved;
            read.Taken = 0;
            return read.Take(buffer, capacity);
        }
        // A read that usbprint completes with nothing is no answer yet: the wait goes on
        // until the deadline, a little apart so that a device doing it at once is not
        // asked without pause.
        if (std::chrono::steady_clock::now() >= deadline)
            return 0;
        Sleep(kEmptyReadPauseMs);
    }
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
    if (!started && GetLastError() != ERROR_IO_PENDING)
        FLastError = static_cast<int>(GetLastError());
    const auto written = operation.Finish(AsHandle(FNative), started, timeout);
    return written == 0 && count > 0 ? -1 : written;
}

std::shared_ptr<PrinterClassDevices> SystemPrinterClassDevices() {
    return std::make_shared<SetupApiPrinterClassDevices>();
}

} // namespace zopra::platform
