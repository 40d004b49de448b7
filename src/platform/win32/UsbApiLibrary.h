#pragma once
// The vendor USB library on Windows: a DLL whose five operations are taken by ordinal
// (2 UsbWrite, 3 UsbRead, 4 UsbCloseDevice, 8 UsbQueryInput, 9 UsbOpenDevice), stdcall,
// 32-bit arguments. When the DLL or any of the five is missing, nothing of it is used
// and every operation fails harmlessly (open -1, the others negative).
#include "platform/UsbApi.h"

#include <cstdint>

namespace zopra::platform {

inline constexpr const char* kUsbApiLibraryName = "USBAPI.DLL";

// The five entries as the library exports them: by ordinal only, stdcall (the callee removes
// its arguments), every value 32 bits. A caller that named another convention would leave
// the stack pointer off by the arguments' size after every call.
namespace usbapi {
using WriteEntry = std::int32_t(__stdcall*)(std::int32_t handle, const void* bytes,
                                            std::int32_t count);
using ReadEntry = std::int32_t(__stdcall*)(std::int32_t handle, void* buffer, std::int32_t capacity,
                                           std::int32_t* count);
using CloseEntry = std::int32_t(__stdcall*)(std::int32_t handle);
using QueryEntry = std::int32_t(__stdcall*)(std::int32_t handle, std::int32_t* count);
using OpenEntry = std::int32_t(__stdcall*)(std::int32_t index);

enum Ordinal : std::uint16_t {
    kWriteOrdinal = 2,
    kReadOrdinal = 3,
    kCloseOrdinal = 4,
    kQueryOrdinal = 8,
    kOpenOrdinal = 9,
};
} // namespace usbapi

// Loads `libraryName` from the program's own folder, by its full path, and keeps it only
// when its export table gives each of the five ordinals an address in code; tests load a
// stand-in of their own.
std::unique_ptr<UsbApi> LoadUsbApiLibrary(const char* libraryName);

// True when `api` came from LoadUsbApiLibrary and found all five operations.
bool UsbApiLibraryLoaded(const UsbApi& api);

} // namespace zopra::platform
