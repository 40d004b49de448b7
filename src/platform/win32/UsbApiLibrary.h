#pragma once
// The vendor USB library on Windows: a DLL whose five operations are taken by ordinal
// (2 UsbWrite, 3 UsbRead, 4 UsbCloseDevice, 8 UsbQueryInput, 9 UsbOpenDevice), stdcall,
// 32-bit arguments. When the DLL or any of the five is missing, nothing of it is used
// and every operation fails harmlessly (open -1, the others negative).
#include "platform/UsbApi.h"

namespace zopra::platform {

inline constexpr const char* kUsbApiLibraryName = "USBAPI.DLL";

// Loads `libraryName` with LoadLibraryA; tests load a stand-in of their own.
std::unique_ptr<UsbApi> LoadUsbApiLibrary(const char* libraryName);

// True when `api` came from LoadUsbApiLibrary and found all five operations.
bool UsbApiLibraryLoaded(const UsbApi& api);

} // namespace zopra::platform
