#include "ui/qt/MessageBox.h"

#include "ui/qt/BusyCursor.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace zopra {

namespace {

void ShowDialog(MessageKind kind, const QString& text) {
    // Titled like every box of the program: with the application's name, above the active
    // window so that the box stays in front of the main window.
    const QMessageBox::Icon icon =
        kind == MessageKind::Error ? QMessageBox::Critical : QMessageBox::NoIcon;
    QMessageBox box(icon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

// The one replaceable seam of the interface layer: empty means the real dialogs.
MessageHook& CurrentHook() {
    static MessageHook hook;
    return hook;
}

void Show(MessageKind kind, const QString& text) {
    const ArrowOverBusyCursor arrow;
    const MessageHook& hook = CurrentHook();
    if (hook) {
        hook(kind, text);
    } else {
        ShowDialog(kind, text);
    }
}

} // namespace

void ShowMessage(const QString& text) {
    Show(MessageKind::Message, text);
}

void ShowErrorBox(const QString& text) {
    Show(MessageKind::Error, text);
}

bool AskQuestion(const QString& text) {
    const ArrowOverBusyCursor arrow;
    if (const MessageHook& hook = CurrentHook()) {
        hook(MessageKind::Message, text);
        return false;
    }
    return QMessageBox::question(
               QApplication::activeWindow(), QGuiApplication::applicationDisplayName(), text,
               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool DialogsReplaced() {
    return static_cast<bool>(CurrentHook());
}

MessageHook SetMessageHook(MessageHook hook) {
    return std::exchange(CurrentHook(), std::move(hook));
}

ScopedMessageHook::ScopedMessageHook(MessageHook hook)
    : FPrevious(SetMessageHook(std::move(hook))) {}

ScopedMessageHook::~ScopedMessageHook() {
    SetMessageHook(std::move(FPrevious));
}

} // namespace zopra
