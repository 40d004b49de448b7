#include "ui/BusyCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace zopra {

BusyCursor::BusyCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

BusyCursor::~BusyCursor() {
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
