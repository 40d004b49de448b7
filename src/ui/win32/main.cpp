// zopra.exe: the window on Win32, its event loop, and --help / --version for a terminal.
#include "form/MainForm.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Window.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: zopra [--help | --version]\n"
    "A desktop utility for cutting plotters: lists the cutters this computer reaches by\n"
    "serial port or USB, reads the cutter's identity and parameters, writes them back, and\n"
    "calibrates the cutter. Without options it opens its window.\n"
    "\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n";

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using OwnedHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// A GUI program has no console of its own: it writes to the output it was given (a pipe or
// a file), or else to the console of the terminal that started it.
void WriteToTerminal(std::string_view text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    OwnedHandle console;
    if ((!out || out == INVALID_HANDLE_VALUE) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        console.reset(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
        out = console.get();
    }
    if (!out || out == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// --help and --version answer on the terminal and end the program before a window is made.
// Returns true when one of them was given.
bool AnswerWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            WriteToTerminal(kUsage);
            return true;
        }
        if (option == "--version") {
            WriteToTerminal(std::string("zopra ") + ZOPRA_VERSION + "\n");
            return true;
        }
    }
    return false;
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
    MessageBoxW(nullptr, zopra::win32::Widen(text).c_str(), L"zopra", MB_OK | MB_ICONERROR);
}

} // namespace

int main(int argc, char* argv[]) {
    if (AnswerWithoutWindow(argc, argv))
        return 0;
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
