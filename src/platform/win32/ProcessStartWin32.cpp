#include "platform/ProcessStart.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <shellapi.h>

#include <csignal>

namespace zopra::platform {

void RestrictDllSearch() {
    // Windows 7 without its update KB2533623 lacks SetDefaultDllDirectories: looked up at
    // run time, so that the program still starts there.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return;
    // Takes at least the current folder out of the search order.
    SetDllDirectoryW(L"");
}

namespace {

// Longer than Windows waits for a process to end after a close (5 s) or at logoff and
// shutdown: the program's own end comes first, or Windows ends it.
constexpr DWORD kEndingWaitMs = 30000;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    switch (event) {
    case CTRL_C_EVENT:
        return FALSE; // the C runtime raises SIGINT for it
    case CTRL_BREAK_EVENT:
        // The interrupt handler takes the first; with its default back in place, the second
        // ends the process, as a second Ctrl-C does.
        std::raise(SIGINT);
        return TRUE;
    default:
        // Close, logoff, shutdown: returning ends the process at once. The series under
        // way finishes meanwhile, and the program's exit ends this thread with it.
        std::raise(SIGINT);
        Sleep(kEndingWaitMs);
        return TRUE;
    }
}

} // namespace

void RaiseSigintOnConsoleEvents() {
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Narrow(wide[i]));
    LocalFree(wide);
    return arguments;
}

} // namespace zopra::platform
