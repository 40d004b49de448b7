#pragma once
// The Qt window against an in-process virtual cutter: a private runtime folder for the
// cutters' announcements, and choosing a connection the way a user does. (The workflows
// themselves are the form's, tested in tests/form.)

#include "ui/qt/Controls.h"
#include "ui/qt/MainWindow.h"
#include "virtual-cutter/VirtualCutter.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace cutter_window {

namespace vc = zopra::vc;

// Virtual cutters announce themselves under XDG_RUNTIME_DIR; a private folder keeps other
// tests' cutters out of the connection list. Short, because socket paths are.
inline std::unique_ptr<QTemporaryDir> UsePrivateRuntimeDir() {
    auto folder = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/zt-XXXXXX"));
    if (folder->isValid())
        qputenv("XDG_RUNTIME_DIR", folder->path().toLocal8Bit());
    return folder;
}

inline std::unique_ptr<vc::VirtualCutter> StartCutter(vc::Options options) {
    auto cutter = std::make_unique<vc::VirtualCutter>(std::move(options));
    cutter->Start();
    return cutter;
}

// Opens the drop-down (which rebuilds the list) and chooses the entry with `text`.
inline void Choose(zopra::TMainWindow& window, const QString& text) {
    auto* list = window.Control<zopra::TComboBox>(zopra::ControlId::CBConnects);
    list->showPopup();
    list->hidePopup();
    const int position = list->findText(text);
    QVERIFY2(position >= 0, qPrintable(QStringLiteral("no entry ") + text));
    list->setCurrentIndex(position);
    emit list->activated(position);
}

} // namespace cutter_window
