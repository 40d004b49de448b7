// The application entry: one window, its event loop, and the last line of error reporting.

#include "ui/MainWindow.h"
#include "ui/MessageBox.h"

#include <QApplication>

#include <exception>

namespace {

// Makes the window known as MainForm_ for exactly as long as it exists.
class MainFormRegistration {
public:
    explicit MainFormRegistration(zopra::TMainForm_& window) { zopra::MainForm_ = &window; }
    ~MainFormRegistration() { zopra::MainForm_ = nullptr; }
    MainFormRegistration(const MainFormRegistration&) = delete;
    MainFormRegistration& operator=(const MainFormRegistration&) = delete;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    try {
        zopra::TMainForm_ window;
        const MainFormRegistration registration(window);
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
