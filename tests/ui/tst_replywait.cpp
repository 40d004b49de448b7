// The Qt window while the form waits for a reply: the window keeps handling its events but
// holds the timers' ticks until the wait is over, the busy cursor is up only until the bound
// ends the wait, the error box shows the ordinary pointer, and a close ends the wait. Against
// a silent in-process virtual cutter.

#include "CutterWindow.h"

#include "ui/qt/MessageBox.h"

#include <QApplication>
#include <QCursor>
#include <QPushButton>
#include <QTimer>

#include <utility>
#include <vector>

using namespace std::chrono_literals;
using namespace cutter_window;
using zopra::ControlId;
using zopra::MessageKind;

class TestReplyWait : public QObject {
    Q_OBJECT

private slots:
    void replyWaitEndsAtTheBoundOrAtAClose();
};

// The shape of the override cursor now; ArrowCursor when there is none.
static Qt::CursorShape CursorNow() {
    const QCursor* cursor = QApplication::overrideCursor();
    return cursor ? cursor->shape() : Qt::ArrowCursor;
}

void TestReplyWait::replyWaitEndsAtTheBoundOrAtAClose() {
    const auto runtime = UsePrivateRuntimeDir();
    QVERIFY(runtime->isValid());
    vc::Options options;
    options.faults.silent = true;
    auto silent = StartCutter(options);
    zopra::TMainWindow window;
    window.Form().Dispatcher().SetReplyBound(300ms);
    window.show();
    Choose(window, QString::fromStdString(silent->DevicePath().string()));
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // Seen from inside the wait: the dispatcher's wait runs a call posted to the window.
    bool sawWait = false;
    Qt::CursorShape duringWait = Qt::ArrowCursor;
    QMetaObject::invokeMethod(
        &window,
        [&] {
            sawWait = window.Form().Record().FWaitingReply.load() != 0;
            duringWait = CursorNow();
        },
        Qt::QueuedConnection);
    // A timer that comes due during the wait ticks after it (the window's timers are
    // QTimers too): a handler never runs inside another's wait.
    bool ticked = false;
    bool tickedInWait = false;
    QTimer::singleShot(10ms, &window, [&] {
        ticked = true;
        tickedInWait = window.Form().Record().FWaitingReply.load() != 0;
    });
    std::vector<std::pair<QString, bool>> messages; // text, and whether a cursor was set
    const zopra::ScopedMessageHook hook([&](MessageKind, const QString& text) {
        messages.emplace_back(text, QApplication::overrideCursor() != nullptr);
    });
    QTest::mouseClick(window.Control<QPushButton>(ControlId::BuConnect), Qt::LeftButton);

    QVERIFY2(sawWait, "the posted call ran while the reply was awaited");
    QVERIFY2(!tickedInWait, "a timer ticked inside the reply wait");
    QTRY_VERIFY2(ticked, "the tick held during the wait was lost");
    QCOMPARE(duringWait, Qt::WaitCursor);
    // The bound ended the wait with an error: the error box shows the ordinary pointer, and
    // nothing is left on the cursor stack afterwards.
    QCOMPARE(messages.size(), 1u);
    QVERIFY(messages[0].first.startsWith(QStringLiteral("The machine did not answer.")));
    QVERIFY2(!messages[0].second, "no busy cursor over the error box");
    QVERIFY(QApplication::overrideCursor() == nullptr);

    // A close asked for during a wait ends it before the bound (10 s), without a box, and
    // the window closes once the click's handler has returned.
    window.Form().Dispatcher().SetReplyBound(10s);
    Choose(window, QString::fromStdString(silent->DevicePath().string()));
    messages.clear();
    bool closedInTheWait = true;
    QMetaObject::invokeMethod(
        &window, [&] { closedInTheWait = window.close(); }, Qt::QueuedConnection);
    QTest::mouseClick(window.Control<QPushButton>(ControlId::BuConnect), Qt::LeftButton);
    QVERIFY(!closedInTheWait);
    QVERIFY(messages.empty());
    QVERIFY(QApplication::overrideCursor() == nullptr);
    QTRY_VERIFY(!window.isVisible());
}

QTEST_MAIN(TestReplyWait)
#include "tst_replywait.moc"
