#include "ui/Controls.h"

#include <QLineEdit>
#include <QSignalBlocker>

namespace zopra {

TAutoSizeLabel::TAutoSizeLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    adjustSize();
}

void TAutoSizeLabel::setText(const QString& text) {
    QLabel::setText(text);
    adjustSize();
}

TComboBox::TComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    // Inline completion would rewrite what the user types into an item's text; the handlers
    // must see exactly what was typed.
    setCompleter(nullptr);
    connect(lineEdit(), &QLineEdit::textEdited, this, &TComboBox::TextEdited);
    connect(this, &QComboBox::activated, this, &TComboBox::changed);
}

void TComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

void TComboBox::TextEdited(const QString& text) {
    const int match = findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (match != currentIndex()) {
        // QComboBox keeps the old selection while the user types, and selecting nothing also
        // empties the edit field. So the selection is moved with the signals held, the typed
        // text and the cursor are put back, and only then is the new index announced: nobody
        // ever sees the empty text in between.
        const int cursor = lineEdit()->cursorPosition();
        {
            const QSignalBlocker blockList(this);
            const QSignalBlocker blockField(lineEdit());
            setCurrentIndex(match);
            if (lineEdit()->text() != text) {
                lineEdit()->setText(text);
                lineEdit()->setCursorPosition(cursor);
            }
        }
        emit currentIndexChanged(match);
    }
    emit changed();
}

} // namespace zopra
