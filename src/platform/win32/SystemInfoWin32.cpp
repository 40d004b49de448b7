#include "platform/SystemInfo.h"

#include <windows.h>

namespace zopra::platform {

namespace {

// ntdll's own answers: GetVersionEx tells a program without a matching manifest entry an
// older version than the system's.
using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
using WineVersionFn = const char*(CDECL*)();

template <typename Fn> Fn NtdllEntry(const char* name) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll == nullptr)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(ntdll, name)));
}

} // namespace

std::string OperatingSystemText() {
    std::string text = "Windows";
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (const auto getVersion = NtdllEntry<RtlGetVersionFn>("RtlGetVersion");
        getVersion != nullptr && getVersion(&version) == 0)
        text += " " + std::to_string(version.dwMajorVersion) + "." +
                std::to_string(version.dwMinorVersion) + " build " +
                std::to_string(version.dwBuildNumber);
    if (const auto wineVersion = NtdllEntry<WineVersionFn>("wine_get_version"))
        text += std::string(" (Wine ") + wineVersion() + ")";
    return text;
}

} // namespace zopra::platform
