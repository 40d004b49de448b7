#pragma once

#include <QComboBox>
#include <QLabel>

namespace zopra {

// A label that always has the size of its text, like the window's captions were designed:
// placed by its top-left corner only, it grows and shrinks with every caption it is given, so
// that a long model name or "Inch" in place of "mm" is never clipped.
class TAutoSizeLabel : public QLabel {
public:
    TAutoSizeLabel(const QString& text, QWidget* parent);

    // Deliberately hides QLabel::setText (which is not virtual): every caption change made
    // through a TAutoSizeLabel pointer resizes the label at once.
    void setText(const QString& text);
};

// The window's drop-down list: always editable, and reporting what the handlers need.
// - The user can type any text. A typed text that is exactly an item selects that item; any
//   other text leaves the list without a selected item (currentIndex() -1) and keeps the text.
//   Typed text is never added to the items and is not completed automatically.
// - dropDown() is emitted when the list is about to open, before the items are shown, so that
//   a handler can refill the list first.
// - changed() is emitted when the user chooses an item or edits the text, never for changes
//   made by the program.
class TComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TComboBox(QWidget* parent = nullptr);

    void showPopup() override;

signals:
    void dropDown();
    void changed();

private slots:
    void TextEdited(const QString& text);
};

} // namespace zopra
