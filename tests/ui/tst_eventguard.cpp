// The guard around every event handler and the message boxes it reports through.

#include "MessageRecorder.h"

#include "ui/EventGuard.h"
#include "ui/MessageBox.h"
#include "ui/UpDown.h"

#include <QTest>
#include <QToolButton>

#include <stdexcept>

using zopra::MessageKind;

namespace {

// Emits on demand, as a control would.
class Emitter : public QObject {
    Q_OBJECT

signals:
    void fired();
};

// Handlers shaped like the window's: private slots that throw, and one that calls another.
class Receiver : public QObject {
    Q_OBJECT

public:
    int started = 0;
    bool refuse = false;

    void ConnectTo(Emitter& emitter, void (Receiver::*handler)()) {
        zopra::ConnectGuarded(&emitter, &Emitter::fired, this, handler);
    }

public slots:
    void Throwing() {
        ++started;
        throw std::runtime_error("Port not open (Error: 2)");
    }
    void Changing(bool& allowChange, int /*newValue*/, zopra::UpDownDirection /*direction*/) {
        ++started;
        allowChange = !refuse;
    }
};

enum class Raise { Nothing, RuntimeError, ConversionError, Integer, OwnType };

struct NotAStdException {};

void Handler(Raise raise, int& reached) {
    ++reached;
    switch (raise) {
    case Raise::Nothing:
        break;
    case Raise::RuntimeError:
        throw std::runtime_error("Port not open (Error: 2)");
    case Raise::ConversionError:
        throw std::invalid_argument("'abc' is not a valid floating point value");
    case Raise::Integer:
        throw 42;
    case Raise::OwnType:
        throw NotAStdException{};
    }
    ++reached;
}

} // namespace

class TestEventGuard : public QObject {
    Q_OBJECT

private slots:
    void guardShowsTheMessage_data();
    void guardShowsTheMessage();
    void guardSurvivesAFailingBox();
    void guardedSignalGoesOn();
    void guardedConnectionPassesReferences();
};

void TestEventGuard::guardShowsTheMessage_data() {
    QTest::addColumn<Raise>("raise");
    QTest::addColumn<int>("reached"); // 1: ended at the error, 2: ran to its end
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("message");
    QTest::newRow("no error") << Raise::Nothing << 2 << false << QString();
    QTest::newRow("serial error") << Raise::RuntimeError << 1 << true
                                  << QStringLiteral("Port not open (Error: 2)");
    QTest::newRow("conversion error")
        << Raise::ConversionError << 1 << true
        << QStringLiteral("'abc' is not a valid floating point value");
    QTest::newRow("not an exception class") << Raise::Integer << 1 << true << QString();
    QTest::newRow("unknown exception class") << Raise::OwnType << 1 << true << QString();
}

void TestEventGuard::guardShowsTheMessage() {
    QFETCH(Raise, raise);
    QFETCH(int, reached);
    QFETCH(bool, shown);
    QFETCH(QString, message);
    const MessageRecorder boxes;

    int progress = 0;
    zopra::RunGuarded([&] { Handler(raise, progress); });

    QCOMPARE(progress, reached);
    if (shown) {
        QCOMPARE(boxes.entries().size(), std::size_t{1});
        QCOMPARE(boxes.entries().front().first, MessageKind::Error);
        QCOMPARE(boxes.entries().front().second, message);
    } else {
        QVERIFY(boxes.entries().empty());
    }
}

void TestEventGuard::guardSurvivesAFailingBox() {
    // Even a box that cannot be shown must not take the event loop down.
    const zopra::ScopedMessageHook failing(
        [](MessageKind, const QString&) { throw std::bad_alloc(); });
    int progress = 0;
    zopra::RunGuarded([&] { Handler(Raise::RuntimeError, progress); });
    QCOMPARE(progress, 1);
}

void TestEventGuard::guardedSignalGoesOn() {
    const MessageRecorder boxes;
    Emitter emitter;
    Receiver receiver;
    receiver.ConnectTo(emitter, &Receiver::Throwing);

    emit emitter.fired();
    emit emitter.fired();

    // Each event's error is shown, and the next event is handled as usual.
    QCOMPARE(receiver.started, 2);
    QCOMPARE(boxes.entries().size(), std::size_t{2});
    QCOMPARE(boxes.entries().back().second, QStringLiteral("Port not open (Error: 2)"));
}

void TestEventGuard::guardedConnectionPassesReferences() {
    zopra::TUpDown spinner;
    spinner.resize(17, 24);
    Receiver receiver;
    receiver.refuse = true;
    zopra::ConnectGuarded(&spinner, &zopra::TUpDown::changing, &receiver, &Receiver::Changing);

    QTest::mouseClick(spinner.upButton(), Qt::LeftButton);
    QCOMPARE(receiver.started, 1);
    QCOMPARE(spinner.position(), 0);

    receiver.refuse = false;
    QTest::mouseClick(spinner.upButton(), Qt::LeftButton);
    QCOMPARE(receiver.started, 2);
    QCOMPARE(spinner.position(), 1);
}

QTEST_MAIN(TestEventGuard)
#include "tst_eventguard.moc"
