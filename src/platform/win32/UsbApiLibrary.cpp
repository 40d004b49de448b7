#include "platform/win32/UsbApiLibrary.h"

#include "platform/Trace.h"
#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <string>

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

// True when the export table of the loaded `module` gives each ordinal an address inside a
// section of code. GetProcAddress alone cannot tell: for an ordinal inside a gap of the
// table Windows returns the image's base (the entry's address 0), not NULL, and a library
// of the same name may export data at one of the five ordinals.
bool OrdinalsAreCode(HMODULE module, std::initializer_list<WORD> ordinals) {
    const auto* base = reinterpret_cast<const BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    if (dos->e_magic != IMAGE_DOS_SIGNATURE)
        return false;
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    if (nt->Signature != IMAGE_NT_SIGNATURE ||
        nt->OptionalHeader.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_EXPORT)
        return false;
    const IMAGE_DATA_DIRECTORY& table =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (table.VirtualAddress == 0 || table.Size < sizeof(IMAGE_EXPORT_DIRECTORY))
        return false;
    const auto* exports =
        reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + table.VirtualAddress);
    const auto* addresses = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
    const IMAGE_SECTION_HEADER* sections = IMAGE_FIRST_SECTION(nt);
    auto inCode = [&](DWORD rva) {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& section = sections[i];
            const DWORD size = std::max<DWORD>(section.Misc.VirtualSize, section.SizeOfRawData);
            if (rva >= section.VirtualAddress && rva - section.VirtualAddress < size)
                return (section.Characteristics & IMAGE_SCN_MEM_EXECUTE) != 0;
        }
        return false;
    };
    for (const WORD ordinal : ordinals) {
        if (ordinal < exports->Base || ordinal - exports->Base >= exports->NumberOfFunctions)
            return false;
        const DWORD rva = addresses[ordinal - exports->Base];
        // An address inside the export table itself names another DLL's entry (a forwarder).
        const bool forwarded =
            rva >= table.VirtualAddress && rva - table.VirtualAddress < table.Size;
        if (rva == 0 || forwarded || !inCode(rva))
            return false;
    }
    return true;
}

// The library by its full path in the program's own folder, never by a bare name (which
// would search the current folder and PATH); the DLLs it needs come from its own folder
// and the system folder.
HMODULE LoadBesideProgram(const char* libraryName) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return nullptr;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    path.resize(path.find_last_of(L"\\/") + 1);
    path += Widen(libraryName);
    // No "cannot find the disk" box; for this thread only, as the --all threads load their
    // own instances at the same time.
    DWORD oldMode = 0;
    const bool modeSet =
        SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode) != FALSE;
    HMODULE module = LoadLibraryExW(
        path.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Windows 7 without KB2533623 knows neither flag and refuses them as a bad parameter.
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER)
        module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (modeSet)
        SetThreadErrorMode(oldMode, nullptr);
    return module;
}

class DllUsbApi final : public UsbApi {
public:
    explicit DllUsbApi(const char* libraryName) {
        FModule = LoadBesideProgram(libraryName);
        if (FModule == nullptr)
            return;
        using namespace usbapi;
        if (!OrdinalsAreCode(FModule, {kWriteOrdinal, kReadOrdinal, kCloseOrdinal, kQueryOrdinal,
                                       kOpenOrdinal})) {
            // A library without all five is not the one we know: use none of it.
            platform::TraceNote("USBAPI.DLL lacks one of its five entries; it is not used",
                                libraryName);
            FreeLibrary(FModule);
            FModule = nullptr;
            return;
        }
        FWrite = Import<WriteFn>(FModule, kWriteOrdinal);
        FRead = Import<ReadFn>(FModule, kReadOrdinal);
        FClose = Import<CloseFn>(FModule, kCloseOrdinal);
        FQuery = Import<QueryFn>(FModule, kQueryOrdinal);
        FOpen = Import<OpenFn>(FModule, kOpenOrdinal);
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
