// The window's construction from the layout table, its first show, and the toolkit's services
// for the form.
#include "ui/qt/MainWindow.h"

#include "form/Placement.h"
#include "ui/qt/BusyCursor.h"
#include "ui/qt/Controls.h"
#include "ui/qt/HostLocale.h"
#include "ui/qt/MessageBox.h"
#include "ui/qt/UpDown.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPalette>
#include <QScreen>
#include <QShowEvent>
#include <QTabBar>
#include <QWindow>

#include <cstdlib>
#include <utility>

namespace zopra {

TMainWindow::TMainWindow(QWidget* parent)
    : TMainWindow(std::make_unique<CutterConnections>(), parent) {}

TMainWindow::TMainWindow(std::unique_ptr<CutterConnections> links, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    SetUpWindow();
    CreateControls();
    SetUpKeyboard();
    form_ = std::make_unique<TMainForm_>(*this, std::move(links));
    QCoreApplication::instance()->installEventFilter(this);
}

TMainWindow::~TMainWindow() {
    QCoreApplication::instance()->removeEventFilter(this);
    form_.reset();
}

void TMainWindow::SetUpWindow() {
    const WindowFrame& look = MainWindowFrame();
    setObjectName(QString::fromUtf8(look.name));
    setWindowTitle(QString::fromUtf8(look.title));
    // The window is designed pixel by pixel: a fixed client area, no resizing and no
    // minimise or maximise box (only close, as the window flags above say).
    setFixedSize(look.clientWidth, look.clientHeight);
    // Centred on the screen; the frame is the window manager's and is left out of the sum.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const ScreenPoint at = CentredWithin({area.x(), area.y(), area.width(), area.height()},
                                             look.clientWidth, look.clientHeight);
        move(at.left, at.top);
    }
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // Where Arial is missing (Linux), fontconfig maps it to Liberation Sans, which has the
    // same metrics; the second family covers a font setup without that alias.
    QFont designFont(QString::fromUtf8(look.fontFamily));
    designFont.setFamilies(
        {QString::fromUtf8(look.fontFamily), QString::fromUtf8(look.fallbackFontFamily)});
    designFont.setPixelSize(look.fontPixelSize);
    designFont.setBold(look.fontBold);
    setFont(designFont);
}

void TMainWindow::CreateControls() {
    // The rows right of the client area are never to be seen, also where a window manager
    // makes the window larger than designed: they live on a holder that is never shown.
    auto* outside = new QWidget(this);
    outside->hide();
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        QWidget* parent = OutsideClientArea(layoutRow) ? outside : this;
        if (layoutRow.parent != ControlId::Window)
            parent = qobject_cast<QWidget*>(controls_.at(layoutRow.parent));
        QObject* control = CreateControl(layoutRow, parent);
        // The row's name as object name, so that the control can be found by name (tests,
        // style sheets, accessibility).
        control->setObjectName(QString::fromUtf8(layoutRow.name));
        if (auto* widget = qobject_cast<QWidget*>(control)) {
            widget->setEnabled(layoutRow.enabled);
            if (!layoutRow.visible)
                widget->hide();
        }
        controls_[layoutRow.id] = control;
    }
}

QObject* TMainWindow::CreateControl(const ControlRow& layoutRow, QWidget* parent) {
    const QString caption = QString::fromUtf8(layoutRow.caption);
    const Bounds& b = layoutRow.bounds;
    switch (layoutRow.kind) {
    case ControlKind::Label:
    case ControlKind::Heading: {
        auto* label = new TAutoSizeLabel(caption, parent, b.width);
        label->move(b.left, b.top);
        if (b.width > 0)
            label->resize(b.width, b.height);
        if (layoutRow.kind == ControlKind::Heading) {
            QPalette palette = label->palette();
            palette.setColor(QPalette::Window, QColor::fromRgb(MainWindowFrame().headingRgb));
            // The heading's colour is light: under a dark palette its text would be light too.
            palette.setColor(QPalette::WindowText, Qt::black);
            label->setPalette(palette);
            // Children take the window's background role (button face) unless they name
            // their own.
            label->setBackgroundRole(QPalette::Window);
            label->setAutoFillBackground(true);
        }
        return label;
    }
    case ControlKind::Button: {
        auto* button = new TButton(QString::fromStdString(CaptionWithMnemonic(layoutRow)), parent);
        button->setGeometry(b.left, b.top, b.width, b.height);
        if (layoutRow.link) {
            button->setFlat(true);
            button->setCursor(Qt::PointingHandCursor);
            button->setStyleSheet("QPushButton { color: palette(link); text-decoration: underline;"
                                  " border: none; padding: 0; text-align: right; }");
        }
        return button;
    }
    case ControlKind::Edit: {
        auto* edit = new TEdit(caption, parent);
        edit->setGeometry(b.left, b.top, b.width, b.height);
        edit->setFrame(layoutRow.border);
        return edit;
    }
    case ControlKind::List: {
        auto* list = new TComboBox(layoutRow.editable, parent);
        list->setGeometry(b.left, b.top, b.width, b.height);
        for (std::string_view entry : layoutRow.entries)
            list->addItem(QString::fromUtf8(entry));
        list->SetPosition(layoutRow.position);
        return list;
    }
    case ControlKind::ScrollBar: {
        auto* bar = new TScrollBar(parent);
        bar->setGeometry(b.left, b.top, b.width, b.height);
        bar->setRange(layoutRow.minimum, layoutRow.maximum);
        bar->setValue(layoutRow.position);
        bar->setSingleStep(layoutRow.step);
        bar->setPageStep(layoutRow.largeStep);
        return bar;
    }
    case ControlKind::UpDown: {
        auto* spinner = new TUpDown(parent);
        spinner->setGeometry(b.left, b.top, b.width, b.height);
        spinner->setRange(layoutRow.minimum, layoutRow.maximum);
        spinner->setPosition(layoutRow.position);
        spinner->setIncrement(layoutRow.step);
        return spinner;
    }
    case ControlKind::Tabs: {
        auto* tabs = new TTabs(parent);
        tabs->setGeometry(b.left, b.top, b.width, b.height);
        return tabs;
    }
    case ControlKind::Page: {
        auto* tabs = dynamic_cast<TTabs*>(parent);
        auto* page = new QWidget;
        // addTab() hands the page to the tab control, which owns it from here on; the first
        // page added is the one shown.
        tabs->addTab(page, caption);
        return page;
    }
    case ControlKind::Timer:
        return new TTimer(layoutRow.intervalMs, this);
    }
    std::abort();
}

void TMainWindow::SetUpKeyboard() {
    QWidget* previous = nullptr;
    for (ControlId id : TabOrder()) {
        auto* widget = qobject_cast<QWidget*>(controls_.at(id));
        // A scroll bar takes no focus by default; the force bar takes the arrow and Page keys.
        if (qobject_cast<QScrollBar*>(widget) != nullptr)
            widget->setFocusPolicy(Qt::StrongFocus);
        if (previous != nullptr)
            setTabOrder(previous, widget);
        previous = widget;
    }
    for (const ControlRow& layoutRow : MainWindowLayout())
        if (layoutRow.kind == ControlKind::UpDown)
            Control<TUpDown>(layoutRow.id)->SetBuddy(Control<QWidget>(SpinnerBuddy(layoutRow.id)));
}

template <typename Interface> Interface& TMainWindow::Get(ControlId id) {
    const auto found = controls_.find(id);
    auto* control = found == controls_.end() ? nullptr : dynamic_cast<Interface*>(found->second);
    if (control == nullptr)
        std::abort(); // the form asked for a control the table does not have in that kind
    return *control;
}

void TMainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window system repeats a show (spontaneous) when it maps or restores the window; the
    // first-show steps belong to the program's own show only.
    if (!event->spontaneous())
        ReportShow();
}

void TMainWindow::closeEvent(QCloseEvent* event) {
    // During a wait the form ends the wait first and asks again through CloseWindow.
    if (!CloseQueryAllows()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// Whether the widget is this window or one of its children.
bool TMainWindow::Mine(const QObject* watched) const {
    // Input for this window only: a box shown inside a wait takes its clicks.
    if (watched == static_cast<const QObject*>(windowHandle()))
        return true;
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget != nullptr && widget->window() == this;
}

bool TMainWindow::TurnPageByKey(const QKeyEvent& key) {
    if (!(key.modifiers() & Qt::ControlModifier))
        return false;
    int step = 0;
    switch (key.key()) {
    case Qt::Key_Tab:
        step = key.modifiers() & Qt::ShiftModifier ? -1 : 1;
        break;
    case Qt::Key_Backtab:
    case Qt::Key_PageUp:
        step = -1;
        break;
    case Qt::Key_PageDown:
        step = 1;
        break;
    default:
        return false;
    }
    auto* tabs = Control<TTabs>(ControlId::TSSetting);
    if (tabs == nullptr)
        return false;
    tabs->TurnPage(step);
    // A focus left on the page now hidden goes to the tab row.
    if (QWidget* focus = focusWidget(); focus == nullptr || !focus->isVisible())
        tabs->tabBar()->setFocus(Qt::TabFocusReason);
    return true;
}

bool TMainWindow::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp turn the page from wherever the
    // focus is, as Windows users expect; seen before the focused control, which would take
    // Ctrl+PageUp as a step of its own (the force bar).
    if (!holdInput_ && event->type() == QEvent::KeyPress && Mine(watched))
        return TurnPageByKey(*static_cast<QKeyEvent*>(event));
    if (!holdInput_)
        return false;
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
        break;
    default:
        return false;
    }
    return Mine(watched);
}

void TMainWindow::CloseWindow() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TMainWindow::ShowMessage(MessageKind kind, const std::string& text) {
    if (kind == MessageKind::Error)
        ShowErrorBox(QString::fromStdString(text));
    else
        zopra::ShowMessage(QString::fromStdString(text));
}

bool TMainWindow::ShowFindings(const std::string& text) {
    return ShowFindingsBox(QString::fromStdString(text));
}

void TMainWindow::CopyToClipboard(const std::string& text) {
    QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

bool TMainWindow::AskYesNo(const std::string& text) {
    return AskQuestion(QString::fromStdString(text));
}

namespace {

// The files of the kind suggested (a settings document's .json, a report's .txt), or any.
QString FilterFor(const std::string& suggestedName) {
    const QString suffix = QFileInfo(QString::fromStdString(suggestedName)).suffix();
    if (suffix.isEmpty())
        return QStringLiteral("All files (*)");
    return QStringLiteral("*.%1 files (*.%1);;All files (*)").arg(suffix);
}

std::optional<std::string> ChosenPath(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    return path.toStdString();
}

} // namespace

std::optional<std::string> TMainWindow::ChooseFileToSave(const std::string& title,
                                                         const std::string& suggestedName,
                                                         const std::string& startFolder) {
    if (DialogsReplaced())
        return std::nullopt;
    const ArrowOverBusyCursor arrow;
    // A path with a file name starts the dialog in its folder with the name filled in.
    const QString suggested = startFolder.empty()
                                  ? QString::fromStdString(suggestedName)
                                  : QDir(QString::fromStdString(startFolder))
                                        .filePath(QString::fromStdString(suggestedName));
    return ChosenPath(QFileDialog::getSaveFileName(this, QString::fromStdString(title), suggested,
                                                   FilterFor(suggestedName)));
}

std::optional<std::string> TMainWindow::ChooseFileToOpen(const std::string& title,
                                                         const std::string& startFolder) {
    if (DialogsReplaced())
        return std::nullopt;
    const ArrowOverBusyCursor arrow;
    return ChosenPath(QFileDialog::getOpenFileName(
        this, QString::fromStdString(title), QString::fromStdString(startFolder),
        QStringLiteral("Settings files (*.json);;All files (*)")));
}

void TMainWindow::BeginBusyCursor() {
    PushBusyCursor();
}

void TMainWindow::EndBusyCursor() {
    PopBusyCursor();
}

void TMainWindow::ProcessPendingEvents() {
    // Every event but the user's input to this window: ExcludeUserInputEvents would also hold
    // back the window manager's request to close, which must end the wait. No timer ticks
    // either: a tick due during the wait comes after it, as after a plain sleep.
    const bool before = std::exchange(holdInput_, true);
    QCoreApplication::processEvents(QEventLoop::X11ExcludeTimers);
    holdInput_ = before;
}

void TMainWindow::PostToInterfaceThread(std::function<void()> task) {
    // Queued to this window: a task still pending when the window goes is dropped with it.
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

char TMainWindow::DecimalSeparator() const {
    return HostDecimalSeparator();
}

} // namespace zopra
