// The application entry: one window, its event loop, and the last line of error reporting.

#include "ui/qt/MainWindow.h"
#include "ui/qt/MessageBox.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

constexpr std::string_view kUsage =
    "Usage: zopra [--help | --version]\n"
    "A desktop utility for cutting plotters: lists the cutters this computer reaches by\n"
    "serial port or USB, reads the cutter's identity and parameters, writes them back, and\n"
    "calibrates the cutter. Without options it opens its window.\n"
    "\n"
    "  --help      print this text and exit\n"
    "  --version   print the version and exit\n"
    "\n"
    "Qt's own options (for example -platform) are passed on to the window.\n";

// --help and --version answer on the terminal and end the program before a window (or
// a display) is needed. Returns true when one of them was given.
bool AnswerWithoutWindow(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage.data(), stdout);
            return true;
        }
        if (option == "--version") {
            std::printf("zopra %s\n", ZOPRA_VERSION);
            return true;
        }
    }
    return false;
}

// Makes the window known as MainForm_ for exactly as long as it exists.
class MainFormRegistration {
public:
    explicit MainFormRegistration(zopra::TMainForm_& form) { zopra::MainForm_ = &form; }
    ~MainFormRegistration() { zopra::MainForm_ = nullptr; }
    MainFormRegistration(const MainFormRegistration&) = delete;
    MainFormRegistration& operator=(const MainFormRegistration&) = delete;
};

} // namespace

int main(int argc, char* argv[]) {
    if (AnswerWithoutWindow(argc, argv))
        return 0;
    QApplication application(argc, argv);
    try {
        zopra::TMainWindow window;
        const MainFormRegistration registration(window.Form());
        window.show();
        QApplication::exec();
    } catch (const std::exception& error) {
        // Handlers report their own errors; this catches what escapes creating the window or
        // the loop itself.
        zopra::ShowErrorBox(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        zopra::ShowErrorBox(QString());
    }
    // The program reports its failures to the user, never through its exit code.
    return 0;
}
