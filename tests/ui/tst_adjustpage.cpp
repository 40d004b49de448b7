// The "Adjust" page against an in-process virtual cutter whose mechanism draws too long:
// the calibration loop from the first test square to a true one, the band that refuses a
// measurement, the spinners, the AAS offset update with its pause and reconnect, and the
// reset on a change of page.

#include "CutterWindow.h"
#include "MessageRecorder.h"

#include "protocol/Calibration.h"
#include "protocol/Commands.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

using namespace cutter_window;
using zopra::MessageKind;
using zopra::TMainForm_;

class TestAdjustPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void calibrationLoopConverges();
    void measurementOutsideTheBandSendsNothing_data();
    void measurementOutsideTheBandSendsNothing();
    void spinnersStepTheAdjustment();
    void offsetUpdateSendsPausesAndReadsBack();
    void pageChangeResetsTheFields();

private:
    std::unique_ptr<vc::VirtualCutter> ConnectTo(vc::Options options);
    void SetMeasured(const QString& x, const QString& y);

    std::unique_ptr<QTemporaryDir> FRuntime;
    LogLines FLog; // outlives every cutter, which writes it from its own thread
    std::unique_ptr<MessageRecorder> FMessages;
    std::unique_ptr<TMainForm_> FWindow;
};

void TestAdjustPage::initTestCase() {
    FRuntime = UsePrivateRuntimeDir();
    QVERIFY(FRuntime->isValid());
}

void TestAdjustPage::init() {
    FMessages = std::make_unique<MessageRecorder>();
    FWindow = std::make_unique<TMainForm_>();
    FWindow->Dispatcher().SetReplyBound(std::chrono::milliseconds(1500));
    FWindow->show();
    FWindow->TSSetting->setCurrentWidget(FWindow->TabSheet2);
}

void TestAdjustPage::cleanup() {
    FWindow.reset();
    FMessages.reset();
}

std::unique_ptr<vc::VirtualCutter> TestAdjustPage::ConnectTo(vc::Options options) {
    FLog.Attach(options);
    auto cutter = StartCutter(std::move(options));
    Choose(*FWindow, EntryFor(*cutter));
    Connect(*FWindow);
    if (!QTest::qWaitFor([&] { return !FWindow->Timer2->isActive(); }, 5000))
        QTest::qFail("the offsets were not shown", __FILE__, __LINE__);
    cutter->ClearHistory();
    return cutter;
}

void TestAdjustPage::SetMeasured(const QString& x, const QString& y) {
    FWindow->EdMeasure_x->setText(x);
    FWindow->EdMeasure_y->setText(y);
}

void TestAdjustPage::calibrationLoopConverges() {
    vc::Options options = CutterOptions();
    options.errorX = 1.01; // the X mechanism draws 1 % long
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;

    QTest::mouseClick(w.BuScale1, Qt::LeftButton);
    QVERIFY(!w.BuScale1->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(FLog.Contains("plotted 505.00 x 500.00 mm"), 5000);
    QCOMPARE(cutter->Commands().front(), std::string("VS30;"));

    SetMeasured(QStringLiteral("505"), QStringLiteral("500"));
    cutter->ClearHistory();
    QTest::mouseClick(w.BuScale2, Qt::LeftButton);
    // The new scales come from the cutter's own, as read: 505 / 500 x 10000 and 10000.
    const std::vector<std::string> calibration = {
        Esc + ".C6;1;10100:", Esc + ".C6;0;10000:", Esc + ".C1;0;:", Esc + ".C6;2;:", "PD;", "PU;"};
    QVERIFY(WaitForHistory(*cutter, calibration.size()));
    QCOMPARE(cutter->Commands(), calibration);
    QCOMPARE(cutter->State().scaleX, 10100);

    // STEP1 comes back with the work-button timer; the square is true now.
    QTRY_VERIFY_WITH_TIMEOUT(w.BuScale1->isEnabled(), 6000);
    QTest::mouseClick(w.BuScale1, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(FLog.Contains("plotted 500.00 x 500.00 mm"), 5000);
    QCOMPARE(FLog.Count("plotted 505.00 x 500.00 mm"), 1);
    QVERIFY(FMessages->entries().empty());
}

void TestAdjustPage::measurementOutsideTheBandSendsNothing_data() {
    QTest::addColumn<QString>("measuredX");
    QTest::addColumn<QString>("measuredY");
    QTest::addColumn<QString>("message");
    const QString band = QString::fromLatin1(zopra::kCalibrationOutOfBandMessage);
    QTest::newRow("476 x 500") << "476"
                               << "500" << band;
    QTest::newRow("527 x 500") << "527"
                               << "500" << band;
    QTest::newRow("500 x 476") << "500"
                               << "476" << band;
    QTest::newRow("measured 0") << "0"
                                << "500"
                                << "Floating point division by zero";
}

void TestAdjustPage::measurementOutsideTheBandSendsNothing() {
    QFETCH(QString, measuredX);
    QFETCH(QString, measuredY);
    QFETCH(QString, message);
    auto cutter = ConnectTo(CutterOptions());
    if (QTest::currentTestFailed())
        return;
    SetMeasured(measuredX, measuredY);
    QTest::mouseClick(FWindow->BuScale2, Qt::LeftButton);
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0].second, message);
    // A query afterwards is the first thing the cutter hears.
    QTRY_VERIFY_WITH_TIMEOUT(FWindow->BuQuery->isEnabled(), 6000);
    QTest::mouseClick(FWindow->BuQuery, Qt::LeftButton);
    WaitForDisplay(*FWindow);
    QCOMPARE(cutter->Commands().front(), std::string("OH;"));
}

void TestAdjustPage::spinnersStepTheAdjustment() {
    auto cutter = ConnectTo(CutterOptions());
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    for (const char* shown : {"0.025", "0.05", "0.075"}) {
        QTest::mouseClick(w.UpDown1->upButton(), Qt::LeftButton);
        QCOMPARE(w.EdAASII_X_Offset->text(), QLatin1String(shown));
    }
    Pick(w.CoUnit, 1);
    for (const char* shown : {"0.001", "0.002", "0.003"}) {
        QTest::mouseClick(w.UpDown2->upButton(), Qt::LeftButton);
        QCOMPARE(w.EdAASII_Y_Offset->text(), QLatin1String(shown));
    }
    // The spinner goes on from its own position, whatever the edit holds.
    w.EdAASII_Y_Offset->setText(QStringLiteral("1"));
    QTest::mouseClick(w.UpDown2->downButton(), Qt::LeftButton);
    QCOMPARE(w.EdAASII_Y_Offset->text(), QStringLiteral("0.002"));
    QVERIFY(FMessages->entries().empty());
}

void TestAdjustPage::offsetUpdateSendsPausesAndReadsBack() {
    vc::Options options = CutterOptions();
    options.state.aasX = 3;
    options.state.aasY = -40;
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    QCOMPARE(w.LaAASII_X_Offset->text(), QStringLiteral("0.075"));
    QCOMPARE(w.LaAASII_Y_Offset->text(), QStringLiteral("-1"));
    w.EdAASII_X_Offset->setText(QStringLiteral("0.1"));
    w.EdAASII_Y_Offset->setText(QStringLiteral("-0.03"));

    // What the window is doing when a timer started before the click ticks, and when an
    // event posted before the click is handled.
    std::int32_t pendingAtTick = -1;
    const auto tickSpy = connect(w.Timer2, &QTimer::timeout, this, [&] {
        if (pendingAtTick < 0)
            pendingAtTick = w.Record().FPendingCommand.load();
    });
    bool eventInThePause = false;
    QMetaObject::invokeMethod(
        this,
        [&] {
            eventInThePause = w.Record().Read().FAASXOffset == 7 &&
                              w.Record().FPendingCommand.load() == zopra::kCmdReadAasOffsets;
        },
        Qt::QueuedConnection);
    w.Timer2->start();
    QTest::mouseClick(w.BuAASIIUpdate, Qt::LeftButton);
    WaitForDisplay(w);
    QTRY_VERIFY_WITH_TIMEOUT(!w.Timer2->isActive(), 5000);
    disconnect(tickSpy);

    const std::vector<std::string> expected = {Esc + ".D6;7;-41:", Esc + ".C1;0;:", "OH;",
                                               Esc + ".R1:",       Esc + ".R6:",    Esc + ".R3:",
                                               Esc + ".R4:",       Esc + ".R5:"};
    QCOMPARE(cutter->Commands(), expected);
    QCOMPARE(w.AASOFFSET_outputevalue->text(), QString::fromStdString(expected[0]));
    // After the reconnect the labels show the cutter's new offsets.
    QCOMPARE(w.LaAASII_X_Offset->text(), QStringLiteral("0.175"));
    QCOMPARE(w.LaAASII_Y_Offset->text(), QStringLiteral("-1.025"));
    // The window kept handling its events in the pause, but the timer's tick came only after
    // it, once the reconnect had begun its read (the pause would have left the display's own
    // offset query, 17, as the last command).
    QVERIFY(eventInThePause);
    QVERIFY2(pendingAtTick != zopra::kCmdReadAasOffsets && pendingAtTick > 0,
             qPrintable(QString::number(pendingAtTick)));
    QVERIFY(FMessages->entries().empty());
}

void TestAdjustPage::pageChangeResetsTheFields() {
    vc::Options options = CutterOptions();
    options.state.aasX = 120;
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    struct Shown {
        int unit;
        const char* size;
        const char* adjustment;
        const char* aasX;
    };
    for (const Shown& s : {Shown{0, "500.0", "0.0", "3"}, Shown{1, "19.685", "0.000", "0.12"}}) {
        Pick(w.CoUnit, s.unit);
        for (QLineEdit* edit : {w.EdTestDraw_X, w.EdTestDraw_Y, w.EdMeasure_x, w.EdMeasure_y,
                                w.EdAASII_X_Offset, w.EdAASII_Y_Offset})
            edit->setText(QStringLiteral("1.5"));
        w.TSSetting->setCurrentWidget(w.TabSheet1);
        w.TSSetting->setCurrentWidget(w.TabSheet2);
        for (QLineEdit* edit : {w.EdTestDraw_X, w.EdTestDraw_Y, w.EdMeasure_x, w.EdMeasure_y})
            QCOMPARE(edit->text(), QLatin1String(s.size));
        QCOMPARE(w.EdAASII_X_Offset->text(), QLatin1String(s.adjustment));
        QCOMPARE(w.EdAASII_Y_Offset->text(), QLatin1String(s.adjustment));
        QCOMPARE(w.LaAASII_X_Offset->text(), QLatin1String(s.aasX));
    }
    // 19.685 inches are 19999 plotter units a side.
    QTest::mouseClick(w.BuScale1, Qt::LeftButton);
    QVERIFY(WaitForHistory(*cutter, 1));
    QCOMPARE(cutter->Commands()[0], std::string("VS30;"));
    QVERIFY(WaitForHistory(*cutter, 5));
    QCOMPARE(cutter->Commands()[4], std::string("PD0,0,19999,0,0,19999,-19999,0,0,-19999;"));
    QVERIFY(FMessages->entries().empty());
}

QTEST_MAIN(TestAdjustPage)
#include "tst_adjustpage.moc"
