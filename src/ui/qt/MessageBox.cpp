#include "ui/qt/MessageBox.h"

#include "ui/qt/BusyCursor.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextOption>
#include <QVBoxLayout>

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

bool ShowFindingsBox(const QString& text) {
    const ArrowOverBusyCursor arrow;
    if (const MessageHook& hook = CurrentHook()) {
        hook(MessageKind::Message, text);
        return false;
    }
    QDialog box(QApplication::activeWindow());
    box.setWindowTitle(QGuiApplication::applicationDisplayName());
    auto* findings = new QPlainTextEdit(text, &box);
    findings->setReadOnly(true);
    // Long lines wrap at the box's width: nothing to scroll sideways. The findings line up
    // in columns as far as the width allows. Escape closes the box (QDialog's reject).
    findings->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    findings->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    findings->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &box);
    QPushButton* copy = buttons->addButton(QObject::tr("&Copy"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(findings);
    layout->addWidget(buttons);
    box.resize(640, 360);
    copy->setDefault(true);
    return box.exec() == QDialog::Accepted;
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
