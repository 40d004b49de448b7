#include "platform/SystemInfo.h"

#include <cstdio>
#include <cstdlib>
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

std::string LocalTimeText() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    TIME_ZONE_INFORMATION zone{};
    // The bias is UTC minus local time, in minutes; daylight time adds its own.
    long bias = 0;
    switch (GetTimeZoneInformation(&zone)) {
    case TIME_ZONE_ID_DAYLIGHT:
        bias = zone.Bias + zone.DaylightBias;
        break;
    case TIME_ZONE_ID_INVALID:
        break;
    default:
        bias = zone.Bias + zone.StandardBias;
        break;
    }
    const long offset = -bias;
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02uT%02u:%02u:%02u%c%02ld:%02ld", local.wYear,
                  local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond,
                  offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    return text;
}

} // namespace zopra::platform
