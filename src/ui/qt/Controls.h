#pragma once
// The window's controls on Qt Widgets, each implementing its kind of the form's control
// interface: the program's setters report nothing, the user's actions are reported to the
// form as the interface says.
#include "form/Controls.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>

namespace zopra {

// Enables or disables a control of the window. The focus leaves a control being disabled for
// the next one (Qt's own move), and comes back once it is enabled again unless the user moved
// it meanwhile: after a command series the button that started it has the focus again, and a
// second Enter presses that button, not the next.
void SetEnabledKeepingFocus(QWidget& control, bool enabled);

// A label that always has the size of its text, like the window's captions were designed:
// placed by its top-left corner only, it grows and shrinks with every caption it is given, so
// that a long model name or "Inch" in place of "mm" is never clipped.
// A label given a width (fixedWidth above 0) keeps it: a longer text is cut with an ellipsis,
// and the whole text is its tooltip.
class TAutoSizeLabel : public QLabel, public ILabel {
public:
    TAutoSizeLabel(const QString& text, QWidget* parent, int fixedWidth = 0);

    // Deliberately hides QLabel::setText (which is not virtual): every caption change made
    // through a TAutoSizeLabel pointer resizes (or cuts) the label at once.
    void setText(const QString& text);

    void SetText(const std::string& text) override { setText(QString::fromStdString(text)); }
    std::string Text() const override { return whole_.toStdString(); }
    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }

private:
    const int fixedWidth_;
    QString whole_;
};

// The window's drop-down list: always editable, and reporting what the handlers need.
// - The user can type any text. A typed text that is exactly an item selects that item; any
//   other text leaves the list without a selected item (currentIndex() -1) and keeps the text.
//   Typed text is never added to the items and is not completed automatically.
// - dropDown() is emitted when the list is about to open, before the items are shown, so that
//   a handler can refill the list first.
// - changed() is emitted when the user chooses an item or edits the text, never for changes
//   made by the program.
class TComboBox : public QComboBox, public IList {
    Q_OBJECT

public:
    explicit TComboBox(bool editable = true, QWidget* parent = nullptr);

    void showPopup() override;

    void Clear() override { clear(); }
    void AddEntry(const std::string& entry) override;
    int Count() const override { return count(); }
    std::string Entry(int index) const override { return itemText(index).toStdString(); }
    int Position() const override { return currentIndex(); }
    void SetPosition(int position) override;
    std::string Text() const override { return currentText().toStdString(); }
    void SetText(const std::string& text) override { setEditText(QString::fromStdString(text)); }
    void SetMarked(bool marked) override;
    void SetEnabled(bool enabled) override { SetEnabledKeepingFocus(*this, enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }

signals:
    void dropDown();
    void changed();

private slots:
    void TextEdited(const QString& text);

private:
    void ShowStartOfEntry();
};

class TButton : public QPushButton, public IButton {
public:
    TButton(const QString& caption, QWidget* parent);

    void SetEnabled(bool enabled) override { SetEnabledKeepingFocus(*this, enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }
};

class TEdit : public QLineEdit, public IEdit {
public:
    TEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

    void SetText(const std::string& text) override { setText(QString::fromStdString(text)); }
    std::string Text() const override { return text().toStdString(); }
    void SetMarked(bool marked) override;
    void Focus() override { setFocus(Qt::OtherFocusReason); }
    void SetEnabled(bool enabled) override { SetEnabledKeepingFocus(*this, enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }
};

// QScrollBar reports every change of value, also the program's; the program's are kept from
// the form, which raises them itself where the window relies on them.
class TScrollBar : public QScrollBar, public IScrollBar {
public:
    explicit TScrollBar(QWidget* parent);

    int Minimum() const override { return minimum(); }
    int Maximum() const override { return maximum(); }
    void SetMaximum(int maximum) override;
    int Position() const override { return value(); }
    void SetPosition(int position) override;
    void SetEnabled(bool enabled) override { SetEnabledKeepingFocus(*this, enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }

protected:
    // The styles draw no focus on a scroll bar; the force bar takes keys, so it shows it has
    // them.
    void paintEvent(QPaintEvent* event) override;

private:
    bool programMove_ = false;
};

// QTabWidget reports a page set by the program too; that one is kept from the form.
class TTabs : public QTabWidget, public ITabs {
public:
    explicit TTabs(QWidget* parent);

    int Page() const override { return currentIndex(); }
    void SetPage(int page) override;
    // The next page (+1) or the one before (-1), round the end, as if the user chose it.
    void TurnPage(int step);
    void SetEnabled(bool enabled) override { setEnabled(enabled); }
    bool Enabled() const override { return isEnabled(); }
    void SetVisible(bool visible) override { setVisible(visible); }
    bool Visible() const override { return !isHidden(); }

private:
    bool programMove_ = false;
};

// A single-shot QTimer.
class TTimer : public QTimer, public ITimer {
public:
    TTimer(int intervalMs, QObject* parent);

    void Start() override { start(); }
    void Stop() override { stop(); }
    bool Active() const override { return isActive(); }
};

} // namespace zopra
