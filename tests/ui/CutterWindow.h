#pragma once
// The window against in-process virtual cutters, as the workflow tests drive it: a private
// runtime folder for the cutters' announcements, choosing a connection the way a user does,
// and pressing "Connect" until the parameter display has run.

#include "ui/Controls.h"
#include "ui/MainWindow.h"
#include "virtual-cutter/VirtualCutter.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace cutter_window {

namespace vc = zopra::vc;

inline const std::string Esc = "\x1b";

// Virtual cutters announce themselves under XDG_RUNTIME_DIR; a private folder keeps other
// tests' cutters out of the connection list. Short, because socket paths are.
inline std::unique_ptr<QTemporaryDir> UsePrivateRuntimeDir() {
    auto folder = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/zt-XXXXXX"));
    if (folder->isValid())
        qputenv("XDG_RUNTIME_DIR", folder->path().toLocal8Bit());
    return folder;
}

inline vc::Options CutterOptions(vc::Link link = vc::Link::Serial) {
    vc::Options options;
    options.link = link;
    return options;
}

inline std::unique_ptr<vc::VirtualCutter> StartCutter(vc::Options options) {
    auto cutter = std::make_unique<vc::VirtualCutter>(std::move(options));
    cutter->Start();
    return cutter;
}

// The text the connection list shows for a cutter: its device on the serial presentation,
// the model its probe answered on the printer class.
inline QString EntryFor(const vc::VirtualCutter& cutter) {
    if (cutter.GetLink() == vc::Link::Printer)
        return QString::fromStdString(cutter.State().model);
    return QString::fromStdString(cutter.DevicePath().string());
}

// Waits until the cutter's history (since its last ClearHistory) holds `count` commands.
inline bool WaitForHistory(const vc::VirtualCutter& cutter, std::size_t count,
                           std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (cutter.Commands().size() < count) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Opens the drop-down (which rebuilds the list) and chooses the entry with `text`.
inline void Choose(zopra::TMainForm_& window, const QString& text) {
    zopra::TComboBox* list = window.CBConnects;
    list->showPopup();
    list->hidePopup();
    const int position = list->findText(text);
    QVERIFY2(position >= 0, qPrintable(QStringLiteral("no entry ") + text));
    list->setCurrentIndex(position);
    emit list->activated(position);
}

// Waits for the parameter display's tick of the read that has just been started.
inline void WaitForDisplay(zopra::TMainForm_& window) {
    QTRY_VERIFY_WITH_TIMEOUT(!window.Timer1->isActive(), 5000);
}

// Presses "Connect" and waits for the parameter display's tick.
inline void Connect(zopra::TMainForm_& window) {
    QVERIFY(window.BuConnect->isEnabled());
    QTest::mouseClick(window.BuConnect, Qt::LeftButton);
    WaitForDisplay(window);
}

// Chooses a list entry as the user does (the list reports the choice to its handler).
inline void Pick(zopra::TComboBox* list, int position) {
    list->setCurrentIndex(position);
    emit list->activated(position);
}

// The cutter's readable log, collected from its own thread.
class LogLines {
public:
    void Attach(vc::Options& options) {
        options.onLog = [this](const std::string& line) {
            std::lock_guard lock(FMutex);
            FLines.push_back(line);
        };
    }
    bool Contains(const std::string& text) const {
        std::lock_guard lock(FMutex);
        for (const std::string& line : FLines)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
    int Count(const std::string& text) const {
        std::lock_guard lock(FMutex);
        int count = 0;
        for (const std::string& line : FLines)
            count += line.find(text) != std::string::npos ? 1 : 0;
        return count;
    }

private:
    mutable std::mutex FMutex;
    std::vector<std::string> FLines;
};

} // namespace cutter_window
