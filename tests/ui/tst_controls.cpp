// The window's own small controls: the up-down spinner and the drop-down list, and what each
// control reports to the form.

#include "ui/qt/Controls.h"
#include "ui/qt/UpDown.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>

#include <vector>

using zopra::TComboBox;
using zopra::TUpDown;
using zopra::UpDownButton;
using zopra::UpDownDirection;

Q_DECLARE_METATYPE(std::vector<int>)

namespace {

// Everything a spinner reported, in order.
struct SpinnerLog {
    std::vector<int> changingValues;
    std::vector<UpDownDirection> directions;
    std::vector<UpDownButton> buttons;
    std::vector<int> positionsSeenWhileChanging;

    explicit SpinnerLog(TUpDown& spinner, bool allow = true) {
        QObject::connect(
            &spinner, &TUpDown::changing, &spinner,
            [this, &spinner, allow](bool& allowChange, int value, UpDownDirection direction) {
                changingValues.push_back(value);
                directions.push_back(direction);
                positionsSeenWhileChanging.push_back(spinner.position());
                allowChange = allow;
            });
        QObject::connect(&spinner, &TUpDown::clicked, &spinner,
                         [this](UpDownButton button) { buttons.push_back(button); });
    }
};

void Press(TUpDown& spinner, QChar arrow) {
    QTest::mouseClick(arrow == QLatin1Char('u') ? spinner.upButton() : spinner.downButton(),
                      Qt::LeftButton);
}

} // namespace

class TestControls : public QObject {
    Q_OBJECT

private slots:
    void spinnerSteps_data();
    void spinnerSteps();
    void spinnerRefusedChange();
    void spinnerProgramMovesStayInRange();
    void spinnerDisabledIgnoresPresses();
    void spinnerUpArrowAboveDownArrow();

    void dropDownComesBeforeThePopup();
    void changedOnlyForTheUser();
    void enterNeverAddsAnItem();

    void onlyTheUsersChangesReachTheForm();
    void addedEntryKeepsNoSelection();
    void spinnerAsksTheForm();
    void timerTicksOnce();
    void fieldLabelCutsALongTextAndKeepsItWhole();
};

void TestControls::spinnerSteps_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("increment");
    QTest::addColumn<QString>("presses"); // u: up arrow, d: down arrow
    QTest::addColumn<int>("end");
    QTest::addColumn<std::vector<int>>("reported"); // new values, one per move that happened

    // Range -100..100 as the offset spinners have it.
    QTest::newRow("three up") << 0 << 1 << "uuu" << 3 << std::vector<int>{1, 2, 3};
    QTest::newRow("down below zero") << 0 << 1 << "dd" << -2 << std::vector<int>{-1, -2};
    QTest::newRow("up and back") << 5 << 1 << "udd" << 4 << std::vector<int>{6, 5, 4};
    QTest::newRow("stops at the maximum") << 99 << 1 << "uuu" << 100 << std::vector<int>{100};
    QTest::newRow("stops at the minimum") << -100 << 1 << "dd" << -100 << std::vector<int>{};
    QTest::newRow("no wrap from max") << 100 << 1 << "ud" << 99 << std::vector<int>{99};
    QTest::newRow("large step cut at max") << 97 << 5 << "uu" << 100 << std::vector<int>{100};
    QTest::newRow("large step cut at min") << -98 << 5 << "d" << -100 << std::vector<int>{-100};
}

void TestControls::spinnerSteps() {
    QFETCH(int, start);
    QFETCH(int, increment);
    QFETCH(QString, presses);
    QFETCH(int, end);
    QFETCH(std::vector<int>, reported);

    TUpDown spinner;
    spinner.setRange(-100, 100);
    spinner.setPosition(start);
    spinner.setIncrement(increment);
    spinner.resize(17, 24);
    const SpinnerLog log(spinner);

    for (const QChar arrow : presses) {
        Press(spinner, arrow);
    }

    QCOMPARE(spinner.position(), end);
    QCOMPARE(log.changingValues, reported);
    // A move is announced before it happens and reported as a click after it.
    QCOMPARE(log.buttons.size(), reported.size());
    int before = start;
    for (std::size_t i = 0; i < reported.size(); ++i) {
        QCOMPARE(log.positionsSeenWhileChanging[i], before);
        const bool up = reported[i] > before;
        QCOMPARE(log.directions[i], up ? UpDownDirection::Up : UpDownDirection::Down);
        QCOMPARE(log.buttons[i], up ? UpDownButton::Up : UpDownButton::Down);
        before = reported[i];
    }
}

void TestControls::spinnerRefusedChange() {
    TUpDown spinner;
    spinner.setRange(-100, 100);
    spinner.resize(17, 24);
    const SpinnerLog log(spinner, false);

    Press(spinner, QLatin1Char('u'));
    Press(spinner, QLatin1Char('d'));

    QCOMPARE(log.changingValues, (std::vector<int>{1, -1}));
    QCOMPARE(log.directions,
             (std::vector<UpDownDirection>{UpDownDirection::Up, UpDownDirection::Down}));
    QCOMPARE(spinner.position(), 0);
    QVERIFY(log.buttons.empty());
}

void TestControls::spinnerProgramMovesStayInRange() {
    TUpDown spinner;
    const SpinnerLog log(spinner);
    spinner.setRange(-100, 100);
    spinner.setPosition(250);
    QCOMPARE(spinner.position(), 100);
    spinner.setPosition(-250);
    QCOMPARE(spinner.position(), -100);
    spinner.setMinimum(-50);
    QCOMPARE(spinner.position(), -50);
    spinner.setMaximum(-60); // below the minimum: the range collapses, never inverts
    QCOMPARE(spinner.minimum(), -60);
    QCOMPARE(spinner.maximum(), -60);
    QCOMPARE(spinner.position(), -60);
    // The program moves the spinner silently; only presses are reported.
    QVERIFY(log.changingValues.empty());
    QVERIFY(log.buttons.empty());
}

void TestControls::spinnerDisabledIgnoresPresses() {
    TUpDown spinner;
    spinner.resize(17, 24);
    spinner.setEnabled(false);
    const SpinnerLog log(spinner);
    Press(spinner, QLatin1Char('u'));
    QCOMPARE(spinner.position(), 0);
    QVERIFY(log.changingValues.empty());
}

void TestControls::spinnerUpArrowAboveDownArrow() {
    TUpDown spinner;
    spinner.resize(17, 24);
    spinner.show(); // a hidden widget gets its resize only when it is shown
    QVERIFY(QTest::qWaitForWindowExposed(&spinner));
    const QRect up = spinner.upButton()->geometry();
    const QRect down = spinner.downButton()->geometry();
    QCOMPARE(up, QRect(0, 0, 17, 12));
    QCOMPARE(down, QRect(0, 12, 17, 12));
    QCOMPARE(spinner.upButton()->arrowType(), Qt::UpArrow);
    QCOMPARE(spinner.downButton()->arrowType(), Qt::DownArrow);
}

void TestControls::dropDownComesBeforeThePopup() {
    TComboBox list;
    list.resize(149, 24);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    // The handler refills the list, as discovery does, and must run while the popup is shut.
    bool popupShownDuringHandler = true;
    int handlerRuns = 0;
    connect(&list, &TComboBox::dropDown, &list, [&] {
        popupShownDuringHandler = list.view()->isVisible();
        ++handlerRuns;
        list.clear();
        list.addItems({QStringLiteral("COM1"), QStringLiteral("QRM USB0")});
    });

    list.showPopup();

    QCOMPARE(handlerRuns, 1);
    QVERIFY(!popupShownDuringHandler);
    QVERIFY(list.view()->isVisible());
    QCOMPARE(list.view()->model()->rowCount(), 2);
    list.hidePopup();
}

void TestControls::changedOnlyForTheUser() {
    TComboBox list;
    list.addItems({QStringLiteral("Disable"), QStringLiteral("Enable")});
    list.setCurrentIndex(-1);
    QSignalSpy changes(&list, &TComboBox::changed);

    // The program's own changes are not the user's: no change is reported.
    list.setCurrentIndex(1);
    list.setEditText(QStringLiteral("Other"));
    list.setCurrentIndex(0);
    QCOMPARE(changes.count(), 0);

    // Choosing with the keyboard is.
    QTest::keyClick(&list, Qt::Key_Down);
    QCOMPARE(list.currentIndex(), 1);
    QCOMPARE(changes.count(), 1);
}

void TestControls::enterNeverAddsAnItem() {
    TComboBox list;
    list.addItems({QStringLiteral("COM1")});
    list.lineEdit()->clear();
    QTest::keyClicks(list.lineEdit(), QStringLiteral("COM9"));
    QTest::keyClick(list.lineEdit(), Qt::Key_Return);
    QCOMPARE(list.count(), 1);
    QCOMPARE(list.currentIndex(), -1);
    QCOMPARE(list.currentText(), QStringLiteral("COM9"));
}

void TestControls::onlyTheUsersChangesReachTheForm() {
    // Scroll bars and tab controls report every change in Qt; the form must hear only the
    // user's, and raises its own where it relies on them.
    QWidget parent;
    zopra::TScrollBar bar(&parent);
    bar.setRange(5, 400);
    zopra::TTabs tabs(&parent);
    tabs.addTab(new QWidget, QStringLiteral("Setting"));
    tabs.addTab(new QWidget, QStringLiteral("Adjust"));
    int barChanges = 0;
    int pageChanges = 0;
    bar.OnChange([&] { ++barChanges; });
    tabs.OnChange([&] { ++pageChanges; });

    bar.SetPosition(120);
    bar.SetMaximum(100); // clamps the position
    tabs.SetPage(1);
    QCOMPARE(bar.value(), 100);
    QCOMPARE(tabs.currentIndex(), 1);
    QCOMPARE(barChanges, 0);
    QCOMPARE(pageChanges, 0);

    bar.triggerAction(QAbstractSlider::SliderSingleStepSub); // as a click on the arrow does
    tabs.tabBar()->setCurrentIndex(0);                       // as a click on the tab does
    QCOMPARE(bar.value(), 99);
    QCOMPARE(barChanges, 1);
    QCOMPARE(pageChanges, 1);

    // The form's own move raises the change once, and only when the position moved.
    bar.MoveTo(50);
    bar.MoveTo(50);
    QCOMPARE(barChanges, 2);
}

void TestControls::addedEntryKeepsNoSelection() {
    // QComboBox selects the first item added to an empty list; the form's lists do not.
    TComboBox list;
    list.SetText("COM7");
    list.AddEntry("COM1");
    list.AddEntry("COM2");
    QCOMPARE(list.Position(), -1);
    QCOMPARE(list.Text(), std::string("COM7"));
    list.SetPosition(1);
    QCOMPARE(list.Text(), std::string("COM2"));
    list.SetPosition(5);
    QCOMPARE(list.Position(), -1);
    QCOMPARE(list.Text(), std::string());
}

void TestControls::spinnerAsksTheForm() {
    TUpDown spinner;
    spinner.resize(17, 24);
    bool refuse = true;
    std::vector<int> asked;
    std::vector<UpDownButton> clicked;
    spinner.OnChanging([&](bool& allow, int position, UpDownDirection) {
        asked.push_back(position);
        allow = !refuse;
    });
    spinner.OnClick([&](UpDownButton button) { clicked.push_back(button); });

    Press(spinner, QLatin1Char('u'));
    QCOMPARE(spinner.Position(), 0);
    refuse = false;
    Press(spinner, QLatin1Char('u'));
    QCOMPARE(spinner.Position(), 1);
    QCOMPARE(asked, (std::vector<int>{1, 1}));
    QCOMPARE(clicked, std::vector<UpDownButton>{UpDownButton::Up});
}

void TestControls::timerTicksOnce() {
    zopra::TTimer timer(10, nullptr);
    int ticks = 0;
    timer.OnTick([&] { ++ticks; });
    timer.Start();
    QVERIFY(timer.Active());
    QTRY_COMPARE_WITH_TIMEOUT(ticks, 1, 5000);
    QVERIFY(!timer.Active());
    QTest::qWait(50);
    QCOMPARE(ticks, 1);
}

void TestControls::fieldLabelCutsALongTextAndKeepsItWhole() {
    zopra::TAutoSizeLabel label(QString(), nullptr, 100);
    const std::string whole = "Settings written: blade force 150 g, blade offset 0.250 mm, Roll";
    label.SetText(whole);
    QCOMPARE(label.Text(), whole);
    QCOMPARE(label.toolTip(), QString::fromStdString(whole));
    QVERIFY(label.text().endsWith(QChar(0x2026)));
    QVERIFY(label.fontMetrics().horizontalAdvance(label.text()) <= 100);
    label.SetText("Settings read");
    QCOMPARE(label.text(), QStringLiteral("Settings read"));
    QVERIFY(label.toolTip().isEmpty());
}

QTEST_MAIN(TestControls)
#include "tst_controls.moc"
