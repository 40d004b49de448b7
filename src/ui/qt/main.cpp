// The application entry: one window, its event loop, and the last line of error reporting.

#include "form/TerminalAnswer.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/MessageBox.h"

#include <QApplication>

#include <cstdio>
#include <exception>
#include <string_view>

namespace {

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
    if (const auto answer = zopra::TerminalAnswer(
            argc, argv, ZOPRA_VERSION,
            "Qt's own options (for example -platform) are passed on to the window.")) {
        std::fputs(answer->c_str(), stdout);
        return 0;
    }
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
