#include "ui/qt/Controls.h"

#include <QPointer>
#include <QSignalBlocker>
#include <QStyleOptionFocusRect>
#include <QStylePainter>

namespace zopra {

namespace {

// Where the focus goes back to, kept per window (a child object of it) rather than in the
// process: the control the focus left when it was disabled, and where Qt moved it.
class FocusReturn : public QObject {
public:
    explicit FocusReturn(QWidget* window) : QObject(window) {}
    static FocusReturn& Of(QWidget& window) {
        // Found by its type (it has no meta-object of its own for findChild to tell it by).
        for (QObject* child : window.children())
            if (auto* kept = dynamic_cast<FocusReturn*>(child))
                return *kept;
        return *new FocusReturn(&window);
    }
    QPointer<QWidget> returnTo;
    QPointer<QWidget> movedTo;
};

} // namespace

void SetEnabledKeepingFocus(QWidget& control, bool enabled) {
    // A window's focus widget, so that this holds also while the window is not active.
    QWidget* window = control.window();
    FocusReturn& focus = FocusReturn::Of(*window);
    if (!enabled && control.isEnabled() && window->focusWidget() == &control) {
        // A series disables its buttons one after the other: the focus passes along them, and
        // belongs to the first.
        if (focus.returnTo == nullptr || focus.movedTo != &control)
            focus.returnTo = &control;
        control.setEnabled(false);
        focus.movedTo = window->focusWidget();
        return;
    }
    control.setEnabled(enabled);
    if (enabled && focus.returnTo == &control) {
        if (window->focusWidget() == focus.movedTo && control.isVisibleTo(window))
            control.setFocus(Qt::OtherFocusReason);
        focus.returnTo = nullptr;
        focus.movedTo = nullptr;
    }
}

TAutoSizeLabel::TAutoSizeLabel(const QString& text, QWidget* parent, int fixedWidth)
    : QLabel(parent), fixedWidth_(fixedWidth) {
    setText(text);
}

void TAutoSizeLabel::setText(const QString& text) {
    whole_ = text;
    if (fixedWidth_ <= 0) {
        QLabel::setText(text);
        adjustSize();
        return;
    }
    const QString shown = fontMetrics().elidedText(text, Qt::ElideRight, fixedWidth_);
    QLabel::setText(shown);
    setToolTip(shown == text ? QString() : text);
}

// The marked look of the list's field, so that both kinds of field show it alike.
static const QString kMarkedField = QStringLiteral("background: #ffc8c8;");

void TEdit::SetMarked(bool marked) {
    setStyleSheet(marked ? kMarkedField : QString());
}

TComboBox::TComboBox(bool editable, QWidget* parent) : QComboBox(parent) {
    setEditable(editable);
    setInsertPolicy(QComboBox::NoInsert);
    if (editable) {
        // Inline completion would rewrite what the user types into an item's text; the
        // handlers must see exactly what was typed.
        setCompleter(nullptr);
        connect(lineEdit(), &QLineEdit::textEdited, this, &TComboBox::TextEdited);
    }
    connect(this, &QComboBox::activated, this, [this] {
        ShowStartOfEntry();
        emit changed();
    });
    connect(this, &TComboBox::dropDown, this, [this] { ReportDropDown(); });
    connect(this, &TComboBox::changed, this, [this] { ReportChange(); });
}

void TComboBox::showPopup() {
    emit dropDown();
    QComboBox::showPopup();
}

void TComboBox::AddEntry(const std::string& entry) {
    // QComboBox selects the first item added to an empty list; an added entry changes
    // neither the position nor the text.
    const bool none = currentIndex() < 0;
    const QString text = currentText();
    addItem(QString::fromStdString(entry));
    if (none && currentIndex() >= 0) {
        setCurrentIndex(-1);
        setEditText(text);
    }
}

void TComboBox::SetPosition(int position) {
    setCurrentIndex(position >= 0 && position < count() ? position : -1);
    ShowStartOfEntry();
}

void TComboBox::ShowStartOfEntry() {
    // An entry wider than the field ("Vantor 52 (/dev/usb/lp0)") shows its model, not its
    // end; the whole text is selected, so typing replaces it, as in a Windows list.
    if (QLineEdit* field = lineEdit(); field && currentIndex() >= 0)
        field->home(true);
}

void TComboBox::SetMarked(bool marked) {
    // A pale red field, as the status line names the problem.
    if (QLineEdit* field = lineEdit())
        field->setStyleSheet(marked ? kMarkedField : QString());
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

TButton::TButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    connect(this, &QPushButton::clicked, this, [this] { ReportClick(); });
}

TScrollBar::TScrollBar(QWidget* parent) : QScrollBar(Qt::Horizontal, parent) {
    // QScrollBar inverts its keys for the sake of vertical bars, so that on a horizontal one
    // the right arrow would lower the value; the force bar's right arrow raises it.
    setInvertedControls(false);
    connect(this, &QScrollBar::valueChanged, this, [this] {
        if (!programMove_)
            ReportChange();
    });
}

void TScrollBar::paintEvent(QPaintEvent* event) {
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect focus;
    focus.initFrom(this);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
}

void TScrollBar::SetMaximum(int maximum) {
    programMove_ = true;
    setMaximum(maximum);
    programMove_ = false;
}

void TScrollBar::SetPosition(int position) {
    programMove_ = true;
    setValue(position);
    programMove_ = false;
}

TTabs::TTabs(QWidget* parent) : QTabWidget(parent) {
    connect(this, &QTabWidget::currentChanged, this, [this] {
        if (!programMove_)
            ReportChange();
    });
}

void TTabs::SetPage(int page) {
    programMove_ = true;
    setCurrentIndex(page);
    programMove_ = false;
}

void TTabs::TurnPage(int step) {
    if (count() > 0)
        setCurrentIndex(((currentIndex() + step) % count() + count()) % count());
}

TTimer::TTimer(int intervalMs, QObject* parent) : QTimer(parent) {
    setInterval(intervalMs);
    // Every tick of the program is a single one: a workflow starts the timer, the handler runs
    // once and the timer stays stopped until the next workflow starts it.
    setSingleShot(true);
    connect(this, &QTimer::timeout, this, [this] { ReportTick(); });
}

} // namespace zopra
