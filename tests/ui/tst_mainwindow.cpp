// The Qt window as it stands before any cutter is connected: its frame and font, every
// control built from the layout table, and the numbers and typed text it carries.

#include "MessageRecorder.h"

#include "form/Layout.h"
#include "ui/qt/Controls.h"
#include "ui/qt/MainWindow.h"
#include "ui/qt/UpDown.h"

#include <QApplication>
#include <QFontInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <memory>

using zopra::ControlId;
using zopra::TMainWindow;

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void designFont();
    void builtFromTheTable();
    void enabledAndVisible_data();
    void enabledAndVisible();
    void numbersUseTheHostSeparator_data();
    void numbersUseTheHostSeparator();
    void typedText_data();
    void typedText();
    void captionGrowsWithItsText();
    void visibleControlsFitTheirParent();
    void diagnosticControlsLieOutsideTheClientArea();
    void keyboardWalksTheTableOrderAndPressesButtons();
    void pageKeysTurnThePageFromAnyControl();
    void focusComesBackToTheButtonPressedAfterASeries();
    void captionsReadableUnderADarkPalette();

private:
    template <typename Widget = QWidget> Widget* Control(const QString& name) const;
    void ShowWindow();

    std::unique_ptr<MessageRecorder> FMessages;
    std::unique_ptr<TMainWindow> FWindow;
};

template <typename Widget> Widget* TestMainForm::Control(const QString& name) const {
    auto* widget = FWindow->findChild<Widget*>(name);
    if (widget == nullptr) {
        qFatal("no control named %s", qPrintable(name));
    }
    return widget;
}

void TestMainForm::init() {
    FMessages = std::make_unique<MessageRecorder>();
    FWindow = std::make_unique<TMainWindow>();
}

void TestMainForm::cleanup() {
    FWindow.reset();
    // Starting and showing the window must never put up a box.
    QVERIFY(FMessages->entries().empty());
    FMessages.reset();
}

void TestMainForm::ShowWindow() {
    FWindow->show();
    QVERIFY(QTest::qWaitForWindowExposed(FWindow.get()));
}

void TestMainForm::windowFrame() {
    ShowWindow();
    QCOMPARE(FWindow->windowTitle(), QStringLiteral("ZOPRA V2.04-03"));
    QCOMPARE(FWindow->size(), QSize(413, 418));
    QCOMPARE(FWindow->minimumSize(), QSize(413, 418));
    QCOMPARE(FWindow->maximumSize(), QSize(413, 418));
    QVERIFY(FWindow->screen()->availableGeometry().contains(FWindow->geometry()));

    const Qt::WindowFlags flags = FWindow->windowFlags();
    QVERIFY(flags.testFlag(Qt::Window));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

    // Only the port and the blade offset take a text of the user's own.
    for (const zopra::ControlRow& layoutRow : zopra::MainWindowLayout()) {
        if (layoutRow.kind == zopra::ControlKind::List)
            QCOMPARE(FWindow->Control<zopra::TComboBox>(layoutRow.id)->isEditable(),
                     layoutRow.editable);
    }
}

void TestMainForm::designFont() {
    // Every control inherits the window's font; the family must really be there (Arial, or
    // Liberation Sans with Arial's metrics), or every natural label size is off.
    for (const char* name : {"LaLength", "CBConnects", "BuQuery", "Label36", "EdMeasure_x"}) {
        const QFont font = Control(QLatin1String(name))->font();
        QCOMPARE(font.pixelSize(), 13);
        QVERIFY(font.bold());
        const QString family = QFontInfo(font).family();
        QVERIFY2(family == QLatin1String("Arial") || family == QLatin1String("Liberation Sans"),
                 qPrintable(family));
    }
}

void TestMainForm::builtFromTheTable() {
    // Every row of the table is a control of its kind, named, placed and filled as the row
    // says, in its initial state (before the first show changes anything).
    for (const zopra::ControlRow& layoutRow : zopra::MainWindowLayout()) {
        const QString name = QString::fromUtf8(layoutRow.name);
        QObject* object = FWindow->findChild<QObject*>(name);
        QVERIFY2(object != nullptr, qPrintable(name));
        const zopra::Bounds& b = layoutRow.bounds;
        auto* widget = qobject_cast<QWidget*>(object);
        if (layoutRow.kind != zopra::ControlKind::Timer &&
            layoutRow.kind != zopra::ControlKind::Page) {
            QVERIFY2(widget != nullptr, qPrintable(name));
            QCOMPARE(widget->isEnabled(), layoutRow.enabled);
            QCOMPARE(widget->isHidden(), !layoutRow.visible);
            QCOMPARE(widget->pos(), QPoint(b.left, b.top));
            if (b.width > 0)
                QCOMPARE(widget->size(), QSize(b.width, b.height));
        }
        const QString caption = QString::fromUtf8(layoutRow.caption);
        switch (layoutRow.kind) {
        case zopra::ControlKind::Label:
        case zopra::ControlKind::Heading:
            // The length units come from the form's construction, the rest from the table.
            if (!caption.isEmpty())
                QCOMPARE(static_cast<QLabel*>(widget)->text(), caption);
            if (b.width == 0) // the others keep the table's size, checked above
                QCOMPARE(widget->size(), widget->sizeHint());
            break;
        case zopra::ControlKind::Button:
            QCOMPARE(static_cast<QPushButton*>(widget)->text(),
                     QString::fromStdString(zopra::CaptionWithMnemonic(layoutRow)));
            break;
        case zopra::ControlKind::Edit:
            QCOMPARE(static_cast<QLineEdit*>(widget)->hasFrame(), layoutRow.border);
            break;
        case zopra::ControlKind::List: {
            auto* list = dynamic_cast<zopra::TComboBox*>(widget);
            QVERIFY2(list != nullptr, qPrintable(name));
            QStringList entries;
            for (std::string_view entry : layoutRow.entries)
                entries << QString::fromUtf8(entry);
            QStringList items;
            for (int i = 0; i < list->count(); ++i)
                items << list->itemText(i);
            if (layoutRow.id != ControlId::CBOffset) // filled by the first show
                QCOMPARE(items, entries);
            QCOMPARE(list->currentIndex(), layoutRow.position);
            break;
        }
        case zopra::ControlKind::ScrollBar: {
            auto* bar = static_cast<QScrollBar*>(widget);
            QCOMPARE(bar->orientation(), Qt::Horizontal);
            QCOMPARE(bar->minimum(), layoutRow.minimum);
            QCOMPARE(bar->maximum(), layoutRow.maximum);
            QCOMPARE(bar->value(), layoutRow.position);
            QCOMPARE(bar->singleStep(), layoutRow.step);
            QCOMPARE(bar->pageStep(), layoutRow.largeStep);
            break;
        }
        case zopra::ControlKind::UpDown: {
            auto* spinner = dynamic_cast<zopra::TUpDown*>(widget);
            QVERIFY2(spinner != nullptr, qPrintable(name));
            QCOMPARE(spinner->minimum(), layoutRow.minimum);
            QCOMPARE(spinner->maximum(), layoutRow.maximum);
            QCOMPARE(spinner->position(), layoutRow.position);
            QCOMPARE(spinner->increment(), layoutRow.step);
            break;
        }
        case zopra::ControlKind::Tabs:
            QCOMPARE(static_cast<QTabWidget*>(widget)->currentIndex(), 0);
            break;
        case zopra::ControlKind::Page: {
            auto* tabs = FWindow->Control<QTabWidget>(layoutRow.parent);
            QCOMPARE(tabs->tabText(tabs->indexOf(static_cast<QWidget*>(object))), caption);
            break;
        }
        case zopra::ControlKind::Timer: {
            auto* timer = qobject_cast<QTimer*>(object);
            QVERIFY2(timer != nullptr, qPrintable(name));
            QCOMPARE(timer->interval(), layoutRow.intervalMs);
            QVERIFY(timer->isSingleShot());
            QVERIFY(!timer->isActive());
            break;
        }
        }
    }
}

void TestMainForm::enabledAndVisible_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("visible");
    const auto row = [](const char* name, bool enabled, bool visible) {
        QTest::newRow(name) << QString::fromLatin1(name) << enabled << visible;
    };
    // Before a cutter has answered, only the connection list, the tabs and the edit fields
    // can be used.
    row("CBConnects", true, true);
    row("TSSetting", true, true);
    row("EdTestDraw_X", true, true);
    row("EdMeasure_y", true, true);
    row("EdAASII_X_Offset", true, true);
    row("EdAASII_Y_Offset", true, true);
    row("BuConnect", false, true);
    row("BuUpdate", false, true);
    row("BuQuery", false, true);
    row("BuScale1", false, true);
    row("BuScale2", false, true);
    row("BuAASIIUpdate", false, true);
    row("UpDown1", false, true);
    row("UpDown2", false, true);
    for (const char* list : {"CBBladeHolder", "CBOffset", "CBMedia", "CBWeight", "CBUnroll",
                             "CBAccel", "CBSmooth", "CoUnit"}) {
        row(list, false, true);
    }
    row("SBForce", true, false);
    row("Label29", true, false);
    row("Label39", true, true);
}

void TestMainForm::enabledAndVisible() {
    QFETCH(QString, name);
    QFETCH(bool, enabled);
    QFETCH(bool, visible);
    ShowWindow();
    QWidget* control = Control(name);
    QCOMPARE(control->isEnabled(), enabled);
    // Controls of the "Setting" page are on screen; those of "Adjust" only when it is shown.
    auto* tabs = FWindow->Control<QTabWidget>(ControlId::TSSetting);
    QWidget* adjust = FWindow->Control<QWidget>(ControlId::TabSheet2);
    tabs->setCurrentWidget(control->parentWidget() == adjust
                               ? adjust
                               : FWindow->Control<QWidget>(ControlId::TabSheet1));
    QCOMPARE(control->isVisible(), visible);
}

void TestMainForm::numbersUseTheHostSeparator_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("offset"); // the second blade offset item
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("adjustment");
    QTest::newRow("C") << QLocale::c() << "0.175"
                       << "500.0"
                       << "0.0";
    QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany) << "0,175"
                            << "500,0"
                            << "0,0";
    // A separator that is not one Latin-1 character is not one the number texts can use.
    QTest::newRow("Arabic") << QLocale(QLocale::Arabic, QLocale::SaudiArabia) << "0.175"
                            << "500.0"
                            << "0.0";
}

void TestMainForm::numbersUseTheHostSeparator() {
    QFETCH(QLocale, locale);
    QFETCH(QString, offset);
    QFETCH(QString, size);
    QFETCH(QString, adjustment);
    const QLocale previous;
    QLocale::setDefault(locale);
    ShowWindow();
    QLocale::setDefault(previous);

    QCOMPARE(FWindow->Control<zopra::TComboBox>(ControlId::CBOffset)->itemText(1), offset);
    QCOMPARE(FWindow->Control<QLineEdit>(ControlId::EdTestDraw_X)->text(), size);
    QCOMPARE(FWindow->Control<QLineEdit>(ControlId::EdMeasure_y)->text(), size);
    QCOMPARE(FWindow->Control<QLineEdit>(ControlId::EdAASII_Y_Offset)->text(), adjustment);
}

void TestMainForm::typedText_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("extraItems"); // added by the test before typing
    QTest::addColumn<int>("indexBefore");
    QTest::addColumn<bool>("clearFirst");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("text");

    const QStringList connections{"Vantor II 24 PZ", "COM3", "QRM USB0"};
    QTest::newRow("port not in the list")
        << "CBConnects" << connections << -1 << true << "COM7" << -1 << "COM7";
    QTest::newRow("exactly an entry")
        << "CBConnects" << connections << -1 << true << "COM3" << 1 << "COM3";
    QTest::newRow("entry chosen, then edited")
        << "CBConnects" << connections << 2 << false << "1" << -1 << "QRM USB01";
    QTest::newRow("offset typed") << "CBOffset" << QStringList() << 2 << true << "0.33" << -1
                                  << "0.33";
}

void TestMainForm::typedText() {
    QFETCH(QString, name);
    QFETCH(QStringList, extraItems);
    QFETCH(int, indexBefore);
    QFETCH(bool, clearFirst);
    QFETCH(QString, typed);
    QFETCH(int, index);
    QFETCH(QString, text);
    ShowWindow();

    // A unit typed in full switches the display, which reads the blade offset's text: give it
    // one, as a read does before the unit list is enabled.
    FWindow->Control<zopra::TComboBox>(ControlId::CBOffset)->setCurrentIndex(2);
    auto* list = Control<zopra::TComboBox>(name);
    list->setEnabled(true);
    list->addItems(extraItems);
    list->setCurrentIndex(indexBefore);
    if (clearFirst) {
        list->lineEdit()->clear();
    }
    list->lineEdit()->end(false);
    const int itemCount = list->count();
    QSignalSpy changes(list, &zopra::TComboBox::changed);

    QTest::keyClicks(list->lineEdit(), typed);

    QCOMPARE(list->currentIndex(), index);
    QCOMPARE(list->currentText(), text);
    QCOMPARE(list->lineEdit()->cursorPosition(), text.size());
    QCOMPARE(changes.count(), typed.size());
    QCOMPARE(list->count(), itemCount); // typing never adds an item
}

void TestMainForm::captionGrowsWithItsText() {
    ShowWindow();
    // A label placed by its corner must never clip what the workflows write into it.
    auto* model = FWindow->Control<zopra::TAutoSizeLabel>(ControlId::LaMName);
    const int narrow = model->width();
    model->setText(QStringLiteral("Vantor II 24 PZ"));
    QVERIFY(model->width() > narrow);
    QCOMPARE(model->size(), model->sizeHint());
    QCOMPARE(model->pos(), QPoint(272, 4));

    auto* unit = FWindow->Control<zopra::TAutoSizeLabel>(ControlId::Label21);
    unit->SetText("Inch");
    QCOMPARE(unit->size(), unit->sizeHint());
}

void TestMainForm::visibleControlsFitTheirParent() {
    ShowWindow();
    // No control of the design may be cut off by the edge of its page or of the window: with
    // the design font every caption and button must be whole.
    for (QWidget* parent :
         {static_cast<QWidget*>(FWindow.get()), FWindow->Control<QWidget>(ControlId::TabSheet1),
          FWindow->Control<QWidget>(ControlId::TabSheet2)}) {
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isHidden() || child->x() >= zopra::MainWindowFrame().clientWidth) {
                continue; // hidden, or a diagnostic control right of the client area
            }
            QVERIFY2(parent->rect().contains(child->geometry()),
                     qPrintable(child->objectName() + QStringLiteral(" leaves ") +
                                parent->objectName()));
        }
    }
}

void TestMainForm::diagnosticControlsLieOutsideTheClientArea() {
    ShowWindow();
    const QRect client = FWindow->rect();
    for (const char* name : {"LaCName", "LaDate", "LaTime", "LaOffset", "LaMedia", "LaWeight",
                             "LaUnroll", "LaAccel", "LaSmooth", "LaXScale", "LaYScale", "LaSpeed",
                             "SBSpeed", "SBOffset", "AASOFFSET_outputevalue"}) {
        const QWidget* control = Control(QLatin1String(name));
        QCOMPARE(control->window(), FWindow.get());
        // Never seen, not even where a window manager makes the window larger.
        QVERIFY2(!control->isVisible(), name);
        QVERIFY2(control->x() >= 424, name);
        QVERIFY2(!client.intersects(control->geometry()), name);
    }
}

// The name of the table's control that holds the focus (a list's field, the tab bar: their
// control).
static QString FocusedControl() {
    for (QWidget* widget = QApplication::focusWidget(); widget != nullptr;
         widget = widget->parentWidget())
        if (!widget->objectName().isEmpty() &&
            !widget->objectName().startsWith(QStringLiteral("qt_")))
            return widget->objectName();
    return {};
}

void TestMainForm::keyboardWalksTheTableOrderAndPressesButtons() {
    ShowWindow();
    FWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
    for (ControlId id : zopra::TabOrder()) {
        FWindow->Control<QWidget>(id)->setEnabled(true);
        FWindow->Control<QWidget>(id)->show();
    }
    auto* tabs = FWindow->Control<QTabWidget>(ControlId::TSSetting);
    const ControlId pages[] = {ControlId::TabSheet1, ControlId::TabSheet2, ControlId::TabSheet3,
                               ControlId::TabSheet4};
    for (int page : {0, 1, 2, 3}) {
        tabs->setCurrentIndex(page);
        // A page change refreshes "History", whose controls are off with nothing to undo.
        for (ControlId id : zopra::TabOrder())
            FWindow->Control<QWidget>(id)->setEnabled(true);
        QStringList expected;
        for (ControlId id : zopra::TabOrder()) {
            const ControlId parent = zopra::RowOf(id).parent;
            const bool onHiddenPage =
                parent != pages[page] &&
                std::find(std::begin(pages), std::end(pages), parent) != std::end(pages);
            if (!onHiddenPage)
                expected << QString::fromUtf8(zopra::RowOf(id).name);
        }
        FWindow->Control<QWidget>(ControlId::CBConnects)->setFocus(Qt::TabFocusReason);
        QStringList walked{FocusedControl()};
        for (int step = 1; step < expected.size(); ++step) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            walked << FocusedControl();
        }
        QCOMPARE(walked, expected);
    }
    // The force bar takes the arrow keys, an adjustment field steps its spinner, and Alt and
    // a button's letter press it.
    tabs->setCurrentIndex(0);
    auto* force = FWindow->Control<QScrollBar>(ControlId::SBForce);
    force->setFocus();
    const int position = force->value();
    QTest::keyClick(force, Qt::Key_Right);
    QCOMPARE(force->value(), position + 1);
    QTest::keyClick(force, Qt::Key_PageUp);
    QCOMPARE(force->value(), position + 1 + zopra::RowOf(ControlId::SBForce).largeStep);
    tabs->setCurrentIndex(1);
    auto* adjust = FWindow->Control<QLineEdit>(ControlId::EdAASII_X_Offset);
    adjust->setFocus();
    FWindow->Control<QWidget>(ControlId::UpDown1)->setEnabled(true);
    QTest::keyClick(adjust, Qt::Key_Up);
    QCOMPARE(FWindow->Control<zopra::TUpDown>(ControlId::UpDown1)->position(), 1);
    QSignalSpy clicked(FWindow->Control<QPushButton>(ControlId::BuScale1), &QPushButton::clicked);
    QTest::keyClick(adjust, Qt::Key_S, Qt::AltModifier);
    QTRY_COMPARE(clicked.count(), 1); // a mnemonic animates the click
    // With no cutter connected the form says why nothing was plotted.
    QCOMPARE(FMessages->entries().size(), 1u);
    FMessages->clear();
}

// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp, round both ends, also from the
// force bar, which takes Page Up and Page Down for itself, and from a control of the window
// outside the pages.
void TestMainForm::pageKeysTurnThePageFromAnyControl() {
    ShowWindow();
    auto* tabs = FWindow->Control<QTabWidget>(ControlId::TSSetting);
    auto* force = FWindow->Control<QScrollBar>(ControlId::SBForce);
    force->setEnabled(true);
    const int last = tabs->count() - 1;
    QSignalSpy turned(tabs, &QTabWidget::currentChanged);
    const struct {
        QWidget* from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int page; // after the key
    } keys[] = {
        {force, Qt::Key_Tab, Qt::ControlModifier, 1},
        {tabs->tabBar(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 0},
        {force, Qt::Key_PageDown, Qt::ControlModifier, 1},
        {tabs->tabBar(), Qt::Key_PageUp, Qt::ControlModifier, 0},
        {force, Qt::Key_PageUp, Qt::ControlModifier, last},
        {FWindow->Control<QWidget>(ControlId::CBConnects), Qt::Key_Tab, Qt::ControlModifier, 0},
    };
    const int position = force->value();
    for (const auto& key : keys) {
        QTest::keyClick(key.from, key.key, key.modifiers);
        QCOMPARE(tabs->currentIndex(), key.page);
    }
    QCOMPARE(turned.count(), static_cast<int>(std::size(keys)));
    QCOMPARE(force->value(), position);
}

// A command series disables its buttons one after the other and enables them again: the
// focus comes back to the button pressed, unless the user moved it meanwhile.
void TestMainForm::focusComesBackToTheButtonPressedAfterASeries() {
    ShowWindow();
    FWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(FWindow.get()));
    zopra::IButton* series[] = {&FWindow->Button(ControlId::BuUpdate),
                                &FWindow->Button(ControlId::BuQuery)};
    auto* pressed = FWindow->Control<QWidget>(ControlId::BuUpdate);
    auto* elsewhere = FWindow->Control<QWidget>(ControlId::CBConnects);
    for (zopra::IButton* button : series)
        button->SetEnabled(true);
    for (const bool userMovedIt : {false, true}) {
        pressed->setFocus();
        for (zopra::IButton* button : series)
            button->SetEnabled(false);
        QVERIFY(FWindow->focusWidget() != pressed);
        if (userMovedIt)
            elsewhere->setFocus();
        for (zopra::IButton* button : series)
            button->SetEnabled(true);
        const QWidget* focus = FWindow->focusWidget();
        if (userMovedIt)
            QVERIFY2(focus == elsewhere || elsewhere->isAncestorOf(focus), "the move was undone");
        else
            QVERIFY2(focus == pressed, "Enter would press another button");
    }
}

QTEST_MAIN(TestMainForm)
// Under a dark palette (light text on a dark face) every caption's text stands out from what
// is behind it: the headings keep their light colour with black text.
void TestMainForm::captionsReadableUnderADarkPalette() {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Window, Qt::black);
    dark.setColor(QPalette::Button, Qt::black);
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    QApplication::setPalette(dark);
    FWindow = std::make_unique<TMainWindow>();
    ShowWindow();
    int captions = 0;
    for (const zopra::ControlRow& row : zopra::MainWindowLayout()) {
        if (row.kind != zopra::ControlKind::Label && row.kind != zopra::ControlKind::Heading)
            continue;
        const auto* label = Control(QString::fromUtf8(row.name));
        const QColor text = label->palette().color(label->foregroundRole());
        const QWidget* painter = label->autoFillBackground() ? label : label->parentWidget();
        const QColor behind = painter->palette().color(painter->backgroundRole());
        ++captions;
        QVERIFY2(std::abs(text.lightness() - behind.lightness()) > 128, row.name.data());
    }
    QApplication::setPalette(before);
    QVERIFY(captions > 20);
}

#include "tst_mainwindow.moc"
