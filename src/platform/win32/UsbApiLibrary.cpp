#include "platform/win32/UsbApiLibrary.h"

#include <windows.h>

namespace zopra::platform {

namespace {

using WriteFn = usbapi::WriteEntry;
using ReadFn = usbapi::ReadEntry;
using CloseFn = usbapi::CloseEntry;
using QueryFn = usbapi::QueryEntry;
using OpenFn = usbapi::OpenEntry;

template <typename Fn> Fn Import(HMODULE module, WORD ordinal) {
    FARPROC proc = GetProcAddress(module, MAKEINTRESOURCEA(ordinal));
    // Through a plain function pointer type: the exported entry has the signature that
    // Fn names, which GetProcAddress cannot know.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

class DllUsbApi final : public UsbApi {
public:
    explicit DllUsbApi(const char* libraryName) {
        // No "cannot find the disk" box for a library on a missing drive.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        FModule = LoadLibraryA(libraryName);
        SetErrorMode(oldMode);
        if (FModule == nullptr)
            return;
        FWrite = Import<WriteFn>(FModule, usbapi::kWriteOrdinal);
        FRead = Import<ReadFn>(FModule, usbapi::kReadOrdinal);
        FClose = Import<CloseFn>(FModule, usbapi::kCloseOrdinal);
        FQuery = Import<QueryFn>(FModule, usbapi::kQueryOrdinal);
        FOpen = Import<OpenFn>(FModule, usbapi::kOpenOrdinal);
        if (!FWrite || !FRead || !FClose || !FQuery || !FOpen) {
            // A library without all five is not the one we know: use none of it.
            FWrite = nullptr;
            FRead = nullptr;
            FClose = nullptr;
            FQuery = nullptr;
            FOpen = nullptr;
            FreeLibrary(FModule);
            FModule = nullptr;
        }
    }

    ~DllUsbApi() override {
        if (FModule != nullptr)
            FreeLibrary(FModule);
    }

    DllUsbApi(const DllUsbApi&) = delete;
    DllUsbApi& operator=(const DllUsbApi&) = delete;

    bool Loaded() const { return FModule != nullptr; }

    std::int32_t UsbOpenDevice(std::int32_t index) override {
        return FOpen ? FOpen(index) : kNoDevice;
    }

    std::int32_t UsbCloseDevice(std::int32_t handle) override {
        return FClose ? FClose(handle) : -1;
    }

    std::int32_t UsbWrite(std::int32_t handle, const void* bytes, std::int32_t count) override {
        return FWrite ? FWrite(handle, bytes, count) : -1;
    }

    std::int32_t UsbQueryInput(std::int32_t handle, std::int32_t* count) override {
        return FQuery ? FQuery(handle, count) : -1;
    }

    std::int32_t UsbRead(std::int32_t handle, void* buffer, std::int32_t capacity,
                         std::int32_t* count) override {
        return FRead ? FRead(handle, buffer, capacity, count) : -1;
    }

private:
    HMODULE FModule = nullptr;
    WriteFn FWrite = nullptr;
    ReadFn FRead = nullptr;
    CloseFn FClose = nullptr;
    QueryFn FQuery = nullptr;
    OpenFn FOpen = nullptr;
};

} // namespace

std::unique_ptr<UsbApi> LoadUsbApiLibrary(const char* libraryName) {
    return std::make_unique<DllUsbApi>(libraryName);
}

bool UsbApiLibraryLoaded(const UsbApi& api) {
    const auto* dll = dynamic_cast<const DllUsbApi*>(&api);
    return dll != nullptr && dll->Loaded();
}

std::unique_ptr<UsbApi> OpenUsbApi() {
    return LoadUsbApiLibrary(kUsbApiLibraryName);
}

} // namespace zopra::platform
