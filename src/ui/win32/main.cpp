// zopra.exe: the window on Win32, its event loop, and --help / --version for a terminal.
#include "form/MainForm.h"
#include "form/TerminalAnswer.h"
#include "platform/ProcessStart.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Window.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

bool WriteAll(HANDLE out, std::string_view text) {
    DWORD written = 0;
    return out != nullptr && out != INVALID_HANDLE_VALUE &&
           WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// A GUI program has no console of its own: it writes to the output it was given (a pipe or
// a file). Started from cmd, the handle it inherits may be missing, or a stale one that
// refuses the write: then it writes to the console of the terminal that started it.
void WriteToTerminal(std::string_view text) {
    if (WriteAll(GetStdHandle(STD_OUTPUT_HANDLE), text) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    const OwnedHandle console(CreateFileW(L"CONOUT$", GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    WriteAll(console.get(), text);
}

// Makes the form known as MainForm_ for exactly as long as it exists.
class MainFormRegistration {
public:
    explicit MainFormRegistration(zopra::TMainForm_& form) { zopra::MainForm_ = &form; }
    ~MainFormRegistration() { zopra::MainForm_ = nullptr; }
    MainFormRegistration(const MainFormRegistration&) = delete;
    MainFormRegistration& operator=(const MainFormRegistration&) = delete;
};

void ShowFatal(const char* text) {
    // A window destroyed on the way out has posted WM_QUIT, which would end the box's own
    // loop at once: the box would close before it was read.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    MessageBoxW(nullptr, zopra::win32::Widen(text).c_str(), L"zopra", MB_OK | MB_ICONERROR);
}

} // namespace

int main(int argc, char* argv[]) {
    // Before anything can load a library: no DLL from the current folder or PATH.
    zopra::platform::RestrictDllSearch();
    if (const auto answer = zopra::TerminalAnswer(argc, argv, ZOPRA_VERSION, {})) {
        WriteToTerminal(*answer);
        return 0;
    }
    try {
        // The controls outlive the form, which keeps references to them.
        zopra::win32::Win32Window window;
        zopra::TMainForm_ form(window);
        const MainFormRegistration registration(form);
        window.Show();
        window.Run();
    } catch (const std::exception& error) {
        // Handlers report their own errors; this catches what escapes making the window.
        ShowFatal(error.what());
    } catch (...) {
        ShowFatal("");
    }
    // The program reports its failures to the user, never through its exit code.
    return 0;
}
