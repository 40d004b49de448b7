#include "ui/qt/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace zopra {

void PushBusyCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

void PopBusyCursor() {
    QGuiApplication::restoreOverrideCursor();
}

ArrowOverBusyCursor::ArrowOverBusyCursor() : FPushed(QGuiApplication::overrideCursor() != nullptr) {
    if (FPushed)
        QGuiApplication::setOverrideCursor(QCursor(Qt::ArrowCursor));
}

ArrowOverBusyCursor::~ArrowOverBusyCursor() {
    if (FPushed)
        QGuiApplication::restoreOverrideCursor();
}

} // namespace zopra
