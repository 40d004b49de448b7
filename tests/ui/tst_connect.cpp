// The connect workflow of the window against an in-process virtual cutter: discovery,
// choosing an entry, the queries sent, what the window shows, and the faults a cutter can
// have on each of its presentations.

#include "CutterWindow.h"
#include "MessageRecorder.h"

#include "support/FakeSerialDriver.h"

#include "platform/UsbApi.h"
#include "ui/Controls.h"
#include "ui/MainWindow.h"
#include "ui/UpDown.h"
#include "virtual-cutter/VirtualCutter.h"

#include <QApplication>
#include <QCursor>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <memory>

using namespace std::chrono_literals;
using zopra::MessageKind;
using zopra::TMainForm_;
namespace vc = zopra::vc;

using namespace cutter_window;

class TestConnect : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void choosingThePortEnablesConnect();
    void connectReadsAndShowsTheCutter();
    void modelOutsideTheTable();
    void printerClassQt24LeavesOutTheBladeHolder();
    void vendorLibraryLink();
    void workButtonsComeBackAfterTwoSeconds();
    void tickBeforeTheIdentityEnablesNothing();
    void silentCutterEndsTheSeriesAndALaterConnectWorks();
    void busyCursorDuringTheReplyWaitOnlyUntilTheBound();
    void cutterVanishingMidReadIsReported();
    void splitRepliesAreAssembled();
    void garbageReplyIsReportedOnce();
    void portWithoutActiveModemLine();
    void closingWhileAReadIsPendingEndsCleanly();

private:
    void Choose(const QString& text) { cutter_window::Choose(*FWindow, text); }
    void Connect() { cutter_window::Connect(*FWindow); }

    std::unique_ptr<QTemporaryDir> FRuntime;
    std::unique_ptr<MessageRecorder> FMessages;
    std::unique_ptr<TMainForm_> FWindow;
};

void TestConnect::initTestCase() {
    FRuntime = UsePrivateRuntimeDir();
    QVERIFY(FRuntime->isValid());
}

void TestConnect::init() {
    FMessages = std::make_unique<MessageRecorder>();
    FWindow = std::make_unique<TMainForm_>();
    FWindow->Dispatcher().SetReplyBound(1500ms);
    FWindow->show();
}

void TestConnect::cleanup() {
    FWindow.reset();
    FMessages.reset();
}

void TestConnect::choosingThePortEnablesConnect() {
    auto cutter = StartCutter(CutterOptions());
    QVERIFY(!FWindow->BuConnect->isEnabled());
    FWindow->CBConnects->showPopup();
    FWindow->CBConnects->hidePopup();
    QVERIFY2(!FWindow->BuConnect->isEnabled(), "opening the list alone does not enable it");
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    QVERIFY(FWindow->BuConnect->isEnabled());
    QCOMPARE(FWindow->Links().FLinkKind(), zopra::kLinkSerial);
}

void TestConnect::connectReadsAndShowsTheCutter() {
    vc::Options options = CutterOptions();
    options.state.aasX = -40;
    options.state.aasY = 120;
    options.state.speed = 29;        // heavy media
    options.state.bladeOffset = 176; // the third offset entry
    options.state.vectorQuality = 4; // no quality entry
    options.state.bladeHolder = 2;   // any holder but 0 is plastic
    auto cutter = StartCutter(options);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(!FWindow->Timer2->isActive(), 5000);

    const std::vector<std::string> expected = {
        "OH;", Esc + ".R1:", Esc + ".R6:", Esc + ".R3:", Esc + ".R4:", Esc + ".R5:"};
    QCOMPARE(cutter->Commands(), expected);

    TMainForm_& w = *FWindow;
    QCOMPARE(w.LaMName->text(), QStringLiteral("Vantor II 24 PZ"));
    QCOMPARE(w.LaVer->text(), QStringLiteral("V2.10"));
    QCOMPARE(w.LaLength->text(), QStringLiteral("2000"));
    QCOMPARE(w.LaWidth->text(), QStringLiteral("600"));
    QCOMPARE(w.LaForce->text(), QStringLiteral("120"));
    QCOMPARE(w.LaAASII_X_Offset->text(), QStringLiteral("-1"));
    QCOMPARE(w.LaAASII_Y_Offset->text(), QStringLiteral("3"));
    QCOMPARE(w.CBWeight->currentIndex(), 0);
    QCOMPARE(w.CBAccel->currentIndex(), -1);
    QCOMPARE(w.CBOffset->currentIndex(), 2);
    QCOMPARE(w.CBBladeHolder->currentText(), QStringLiteral("Plastic"));
    QCOMPARE(w.SBForce->value(), 120);
    QCOMPARE(w.SBForce->maximum(), 350);
    QVERIFY(w.SBForce->isVisible());
    QVERIFY(!w.CBMedia->isEnabled());
    for (QWidget* control : std::initializer_list<QWidget*>{
             w.BuUpdate, w.BuAASIIUpdate, w.BuScale1, w.BuScale2, w.CBOffset, w.CoUnit,
             w.CBBladeHolder, w.EdAASII_X_Offset, w.UpDown1})
        QVERIFY2(control->isEnabled(), qPrintable(control->objectName()));
    QVERIFY(!w.BuConnect->isEnabled());
    QVERIFY(FMessages->entries().empty());
}

void TestConnect::modelOutsideTheTable() {
    vc::Options options = CutterOptions();
    options.state.model = "Plotmaster 9";
    auto cutter = StartCutter(options);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QStringLiteral("Plotmaster 9"));
    QCOMPARE(FWindow->SBForce->maximum(), 400);
    QVERIFY(FWindow->CBMedia->isEnabled());
    QVERIFY(!FWindow->Timer2->isActive());
    QCOMPARE(cutter->Commands().size(), 5u);
}

void TestConnect::printerClassQt24LeavesOutTheBladeHolder() {
    vc::Options options = CutterOptions(vc::Link::Printer);
    options.state.model = "QT-24";
    auto cutter = StartCutter(options);
    FWindow->CBConnects->showPopup();
    FWindow->CBConnects->hidePopup();
    // The probe found a QT-24: its blade holder is hidden before anything is chosen.
    QVERIFY(FWindow->Label39->isHidden());
    QVERIFY(FWindow->CBBladeHolder->isHidden());
    Choose(QStringLiteral("QT-24"));
    QCOMPARE(FWindow->Links().FLinkKind(), zopra::kLinkPrinterClass);
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QStringLiteral("QT-24"));
    // Each opening of the list probed the cutter once.
    const std::vector<std::string> expected = {Esc + ".R4:", Esc + ".R4:", "OH;",
                                               Esc + ".R1:", Esc + ".R3:", Esc + ".R4:"};
    QCOMPARE(cutter->Commands(), expected);
    QVERIFY(FWindow->BuAASIIUpdate->isHidden());
}

void TestConnect::vendorLibraryLink() {
    vc::Options options = CutterOptions(vc::Link::UsbApi);
    options.state.model = "Vantor 52";
    auto cutter = StartCutter(options);
    FWindow->CBConnects->showPopup();
    FWindow->CBConnects->hidePopup();
    const int position =
        FWindow->CBConnects->findText(QStringLiteral("QRM USB"), Qt::MatchStartsWith);
    QVERIFY(position >= 0);
    Choose(FWindow->CBConnects->itemText(position));
    QCOMPARE(FWindow->Links().FLinkKind(), zopra::kLinkVendorUsb);
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QStringLiteral("Vantor 52"));
    QCOMPARE(FWindow->SBForce->maximum(), 250);
    QCOMPARE(cutter->Commands().size(), 5u);
}

void TestConnect::workButtonsComeBackAfterTwoSeconds() {
    auto cutter = StartCutter(CutterOptions());
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    Connect();
    QVERIFY(!FWindow->BuQuery->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(FWindow->BuQuery->isEnabled(), 6000);
    QVERIFY(FWindow->BuUpdate->isEnabled());
    QVERIFY(!FWindow->Timer3->isActive());
}

void TestConnect::tickBeforeTheIdentityEnablesNothing() {
    vc::Options options = CutterOptions();
    options.faults.delayMs = 700; // the identity arrives after the display tick
    auto cutter = StartCutter(options);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    FWindow->Dispatcher().SetReplyBound(5000ms);
    Connect();
    // The series outlasts the work-button timer, so only what the display enables counts.
    QVERIFY(!FWindow->CoUnit->isEnabled());
    QVERIFY(!FWindow->CBOffset->isEnabled());
    QVERIFY(FWindow->SBForce->isHidden());
    QCOMPARE(FWindow->LaLength->text(), QStringLiteral("2000")); // values are shown anyway
    QTRY_COMPARE_WITH_TIMEOUT(FWindow->Record().FIdentityReady.load(), 1, 5000);
    QVERIFY(!FWindow->CoUnit->isEnabled());
}

void TestConnect::silentCutterEndsTheSeriesAndALaterConnectWorks() {
    vc::Options options = CutterOptions();
    options.faults.silent = true;
    auto silent = StartCutter(options);
    FWindow->Dispatcher().SetReplyBound(300ms);
    Choose(QString::fromStdString(silent->DevicePath().string()));
    QTest::mouseClick(FWindow->BuConnect, Qt::LeftButton);
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0],
             MessageRecorder::Entry(MessageKind::Error, "The machine did not answer."));
    QCOMPARE(silent->Commands(), (std::vector<std::string>{"OH;"}));

    auto healthy = StartCutter(CutterOptions());
    Choose(QString::fromStdString(healthy->DevicePath().string()));
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QStringLiteral("Vantor II 24 PZ"));
}

// The shape of the override cursor now; ArrowCursor when there is none.
static Qt::CursorShape CursorNow() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

void TestConnect::busyCursorDuringTheReplyWaitOnlyUntilTheBound() {
    vc::Options options = CutterOptions();
    options.faults.silent = true;
    auto silent = StartCutter(options);
    FWindow->Dispatcher().SetReplyBound(300ms);
    Choose(QString::fromStdString(silent->DevicePath().string()));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Seen from inside the wait: the dispatcher's wait processes the timer's event.
    bool sawWait = false;
    Qt::CursorShape duringWait = Qt::ArrowCursor;
    QTimer::singleShot(50ms, FWindow.get(), [&] {
        sawWait = FWindow->Record().FWaitingReply.load() != 0;
        duringWait = CursorNow();
    });
    std::vector<std::pair<QString, bool>> messages; // text, and whether a cursor was set
    const zopra::ScopedMessageHook hook([&](MessageKind, const QString& text) {
        messages.emplace_back(text, QApplication::overrideCursor() != nullptr);
    });
    QTest::mouseClick(FWindow->BuConnect, Qt::LeftButton);

    QVERIFY2(sawWait, "the timer ran while the reply was awaited");
    QCOMPARE(duringWait, Qt::WaitCursor);
    // The bound ended the wait with an error: the error box shows the ordinary pointer, and
    // nothing is left on the cursor stack afterwards.
    QCOMPARE(messages.size(), 1u);
    QCOMPARE(messages[0].first, QStringLiteral("The machine did not answer."));
    QVERIFY2(!messages[0].second, "no busy cursor over the error box");
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

void TestConnect::cutterVanishingMidReadIsReported() {
    vc::Options options = CutterOptions();
    options.faults.vanishAfter = 2;
    auto cutter = StartCutter(options);
    // The hung-up port ends the wait, long before this bound would.
    FWindow->Dispatcher().SetReplyBound(60s);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    QTest::mouseClick(FWindow->BuConnect, Qt::LeftButton);
    QVERIFY(cutter->WaitUntilVanished(5000ms));
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0].second,
             QStringLiteral("The connection to the machine was lost."));

    // Back (as a new port, like a replugged adapter): the next Connect reads it.
    auto back = StartCutter(CutterOptions());
    Choose(QString::fromStdString(back->DevicePath().string()));
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QString::fromStdString(back->State().model));
    QCOMPARE(FMessages->entries().size(), 1u);
}

void TestConnect::splitRepliesAreAssembled() {
    vc::Options options = CutterOptions();
    options.faults.split = true;
    options.faults.splitPauseMs = 30;
    auto cutter = StartCutter(options);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    Connect();
    QCOMPARE(FWindow->LaMName->text(), QStringLiteral("Vantor II 24 PZ"));
    QCOMPARE(FWindow->LaLength->text(), QStringLiteral("2000"));
    QVERIFY(FMessages->entries().empty());
}

void TestConnect::garbageReplyIsReportedOnce() {
    vc::Options options = CutterOptions();
    options.faults.garbage = true;
    auto cutter = StartCutter(options);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    Connect();
    QTRY_VERIFY_WITH_TIMEOUT(!FWindow->Timer2->isActive(), 5000);
    // Every reply is garbage; the user hears of it once, and every query still went out.
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0].second,
             QStringLiteral("The machine sent a reply that could not be read: ") +
                 QString::fromStdString(options.garbageText));
    QCOMPARE(cutter->Commands().size(), 5u);
}

void TestConnect::portWithoutActiveModemLine() {
    namespace pf = zopra::platform;
    auto serial = std::make_shared<zopra::testing::FakeSerial>();
    serial->existing = {"/dev/ttyFAKE"};
    auto links = std::make_unique<zopra::CutterConnections>(
        std::make_unique<zopra::CUsbIF>(), pf::OpenUsbApi(),
        std::make_shared<zopra::testing::FakeSerialDriver>(serial),
        [] { return std::vector<std::string>{"/dev/ttyFAKE"}; });
    FWindow = std::make_unique<TMainForm_>(std::move(links));
    FWindow->show();
    Choose(QStringLiteral("/dev/ttyFAKE"));
    QTest::mouseClick(FWindow->BuConnect, Qt::LeftButton);
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0],
             MessageRecorder::Entry(MessageKind::Message, "No Machine Connected"));
    QVERIFY(serial->written.empty());
    QVERIFY(!FWindow->BuConnect->isEnabled());
    QVERIFY2(!FWindow->Timer3->isActive(), "no work button comes back without a link");
}

void TestConnect::closingWhileAReadIsPendingEndsCleanly() {
    vc::Options options = CutterOptions();
    options.faults.silent = true;
    auto cutter = StartCutter(options);
    FWindow->Dispatcher().SetReplyBound(200ms);
    Choose(QString::fromStdString(cutter->DevicePath().string()));
    QTest::mouseClick(FWindow->BuConnect, Qt::LeftButton);
    // The port is open and the receive thread still polls for the answer.
    QVERIFY(FWindow->Links().Comm2().Enabled());
    FWindow->close();
    FWindow.reset();
    QCOMPARE(FMessages->entries().size(), 1u); // only the unanswered query's message
}

QTEST_MAIN(TestConnect)
#include "tst_connect.moc"
