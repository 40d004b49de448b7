// The "Setting" page against an in-process virtual cutter: Update and Read Parameters, the
// blade force rule by model, what is refused or reported instead of sent, the parameter
// display with values that have no list position, and the switch between "mm/g" and
// "Inch/oz".

#include "CutterWindow.h"
#include "MessageRecorder.h"

#include <QLineEdit>
#include <QLocale>

#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <clocale>
#include <string>

using namespace cutter_window;
using zopra::MessageKind;
using zopra::TMainForm_;

class TestSettingPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void updateThenReadShowsTheChoices_data();
    void updateThenReadShowsTheChoices();
    void bladeForceByModel_data();
    void bladeForceByModel();
    void listWithoutSelectionSendsNothing();
    void failedWritesAreReported_data();
    void failedWritesAreReported();
    void valuesWithoutListPositionLeaveOnlyTheirList();
    void displayGoesOnWhenTheOffsetQueryCannotBeWritten();
    void unitsSwitchLengthsOffsetAndForce();
    void sameUnitTwiceChangesNothing();
    void unitSwitchInACommaLocaleCompletesOrChangesNothing();

private:
    // Starts a cutter, chooses it and connects.
    std::unique_ptr<vc::VirtualCutter> ConnectTo(vc::Options options);

    std::unique_ptr<QTemporaryDir> FRuntime;
    std::unique_ptr<MessageRecorder> FMessages;
    std::unique_ptr<TMainForm_> FWindow;
};

void TestSettingPage::initTestCase() {
    FRuntime = UsePrivateRuntimeDir();
    QVERIFY(FRuntime->isValid());
}

void TestSettingPage::init() {
    FMessages = std::make_unique<MessageRecorder>();
    FWindow = std::make_unique<TMainForm_>();
    FWindow->Dispatcher().SetReplyBound(std::chrono::milliseconds(1500));
    FWindow->show();
}

void TestSettingPage::cleanup() {
    FWindow.reset();
    FMessages.reset();
}

std::unique_ptr<vc::VirtualCutter> TestSettingPage::ConnectTo(vc::Options options) {
    auto cutter = StartCutter(std::move(options));
    Choose(*FWindow, EntryFor(*cutter));
    Connect(*FWindow);
    // The display's offset query, where the model has one, has been answered too.
    if (!QTest::qWaitFor([&] { return !FWindow->Timer2->isActive(); }, 5000))
        QTest::qFail("the offsets were not shown", __FILE__, __LINE__);
    cutter->ClearHistory();
    return cutter;
}

void TestSettingPage::updateThenReadShowsTheChoices_data() {
    QTest::addColumn<int>("link");
    QTest::newRow("serial") << static_cast<int>(vc::Link::Serial);
    QTest::newRow("printer class") << static_cast<int>(vc::Link::Printer);
}

void TestSettingPage::updateThenReadShowsTheChoices() {
    QFETCH(int, link);
    auto cutter = ConnectTo(CutterOptions(static_cast<vc::Link>(link)));
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    // The cutter starts at offset 0.250, light media, fine, no smoothing, no unroll, roll,
    // 120 g, metal; choose the other value everywhere.
    Pick(w.CBOffset, 5);
    Pick(w.CBWeight, 0);
    Pick(w.CBAccel, 1);
    Pick(w.CBSmooth, 1);
    Pick(w.CBUnroll, 1);
    w.CBMedia->setCurrentIndex(0); // disabled for the models of the table; the update sends it
    w.SBForce->setValue(200);
    Pick(w.CBBladeHolder, 1);
    QTest::mouseClick(w.BuUpdate, Qt::LeftButton);

    QVERIFY(WaitForHistory(*cutter, 9));
    const std::vector<std::string> expected = {
        Esc + ".C1;16;5:",   Esc + ".C1;17;0:", Esc + ".C1;18;1:",
        Esc + ".C1;19;1:",   Esc + ".C1;20;1:", Esc + ".C1;21;0:",
        Esc + ".C1;22;200:", Esc + ".C1;0;:",   Esc + ".C1;32;1:"};
    QCOMPARE(cutter->Commands(), expected);
    QVERIFY(!w.BuUpdate->isEnabled());

    // Nothing is read back by the update: only the next read shows what the cutter kept.
    for (zopra::TComboBox* list :
         {w.CBOffset, w.CBWeight, w.CBAccel, w.CBSmooth, w.CBUnroll, w.CBMedia, w.CBBladeHolder})
        list->setCurrentIndex(-1);
    w.SBForce->setValue(5);
    QTRY_VERIFY_WITH_TIMEOUT(w.BuQuery->isEnabled(), 6000);
    QTest::mouseClick(w.BuQuery, Qt::LeftButton);
    WaitForDisplay(w);

    QCOMPARE(w.CBOffset->currentIndex(), 5);
    QCOMPARE(w.CBOffset->currentText(), QStringLiteral("0.5"));
    QCOMPARE(w.CBWeight->currentIndex(), 0);
    QCOMPARE(w.CBAccel->currentIndex(), 1);
    QCOMPARE(w.CBSmooth->currentIndex(), 1);
    QCOMPARE(w.CBUnroll->currentIndex(), 1);
    QCOMPARE(w.CBMedia->currentIndex(), 0);
    QCOMPARE(w.SBForce->value(), 200);
    QCOMPARE(w.LaForce->text(), QStringLiteral("200"));
    QCOMPARE(w.CBBladeHolder->currentIndex(), 1);
    QVERIFY(FMessages->entries().empty());
}

void TestSettingPage::bladeForceByModel_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("sent");
    QTest::newRow("second generation") << "Vantor II 24 PZ" << 100 << "100";
    QTest::newRow("first generation") << "Vantor 24" << 100 << "100";
    QTest::newRow("outside the table") << "Plotmaster 9" << 100 << "64";
    QTest::newRow("outside the table, 400 g") << "Plotmaster 9" << 400 << "256";
}

void TestSettingPage::bladeForceByModel() {
    QFETCH(QString, model);
    QFETCH(int, position);
    QFETCH(QString, sent);
    vc::Options options = CutterOptions();
    options.state.model = model.toStdString();
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    FWindow->SBForce->setValue(position);
    QTest::mouseClick(FWindow->BuUpdate, Qt::LeftButton);
    QVERIFY(WaitForHistory(*cutter, 9));
    QCOMPARE(QString::fromStdString(cutter->Commands()[6]),
             QString::fromStdString(Esc + ".C1;22;") + sent + ":");
}

void TestSettingPage::listWithoutSelectionSendsNothing() {
    auto cutter = ConnectTo(CutterOptions());
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    // An offset typed into the list's field that is none of its entries, and a list that
    // never got a value.
    w.CBOffset->lineEdit()->clear();
    QTest::keyClicks(w.CBOffset->lineEdit(), QStringLiteral("0.33"));
    QCOMPARE(w.CBOffset->currentIndex(), -1);
    w.CBAccel->setCurrentIndex(-1);
    QTest::mouseClick(w.BuUpdate, Qt::LeftButton);

    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0],
             MessageRecorder::Entry(
                 MessageKind::Message,
                 "Choose a value for Blade Offset and Vector Quality first; nothing was sent."));
    // A query afterwards is the first thing the cutter hears.
    QTRY_VERIFY_WITH_TIMEOUT(w.BuQuery->isEnabled(), 6000);
    QTest::mouseClick(w.BuQuery, Qt::LeftButton);
    WaitForDisplay(w);
    QCOMPARE(cutter->Commands().front(), std::string("OH;"));
}

void TestSettingPage::failedWritesAreReported_data() {
    QTest::addColumn<QString>("button");
    for (const char* button : {"BuUpdate", "BuQuery", "BuScale1", "BuScale2", "BuAASIIUpdate"})
        QTest::newRow(button) << QString::fromLatin1(button);
}

void TestSettingPage::failedWritesAreReported() {
    QFETCH(QString, button);
    auto cutter = ConnectTo(CutterOptions());
    if (QTest::currentTestFailed())
        return;
    QTRY_VERIFY_WITH_TIMEOUT(FWindow->BuQuery->isEnabled(), 6000);
    // The port goes away under the window (a cable pulled, a driver that closed it).
    FWindow->Links().Comm2().Close();
    FWindow->Dispatcher().SetReplyBound(std::chrono::seconds(60));

    QTest::mouseClick(FWindow->findChild<QPushButton*>(button), Qt::LeftButton);
    // Reported at once, never after the reply bound, and only once.
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0],
             MessageRecorder::Entry(MessageKind::Error, "The machine could not be written to. "
                                                        "The serial port is not open."));
    QVERIFY(cutter->Received().empty());
    QCOMPARE(FWindow->Record().FWaitingReply.load(), 0);
    QVERIFY(!FWindow->Timer1->isActive());
}

void TestSettingPage::valuesWithoutListPositionLeaveOnlyTheirList() {
    vc::Options options = CutterOptions();
    options.state.autoUnroll = 7;
    options.state.vectorSmooth = -1;
    options.state.mediaType = 3;
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    QCOMPARE(w.CBUnroll->currentIndex(), -1);
    QCOMPARE(w.LaUnroll->text(), QStringLiteral("7"));
    QCOMPARE(w.CBSmooth->currentIndex(), -1);
    QCOMPARE(w.LaSmooth->text(), QStringLiteral("-1"));
    // The rest of the display went on, the lists after them included.
    QCOMPARE(w.CBMedia->currentIndex(), 0);
    QCOMPARE(w.SBForce->value(), 120);
    QCOMPARE(w.CBBladeHolder->currentIndex(), 0);
    QCOMPARE(w.CBOffset->currentIndex(), 2);
    QCOMPARE(w.CBOffset->currentText(), QStringLiteral("0.25"));
    QVERIFY(w.CoUnit->isEnabled());
    QVERIFY(FMessages->entries().empty());
}

void TestSettingPage::displayGoesOnWhenTheOffsetQueryCannotBeWritten() {
    vc::Options options = CutterOptions();
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    // The cutter reports other values and its identity, then the link breaks before the
    // display's tick sends the offset query.
    vc::CutterState state = cutter->State();
    state.paperLengthMm = 1500;
    cutter->SetState(state);
    QTRY_VERIFY_WITH_TIMEOUT(FWindow->BuQuery->isEnabled(), 6000);
    QTest::mouseClick(FWindow->BuQuery, Qt::LeftButton);
    QCOMPARE(FWindow->Record().FIdentityReady.load(), 1);
    // No event has been handled since the read: its tick is still to come, and comes anew.
    FWindow->Links().Comm2().Close();
    FWindow->Timer1->start();
    WaitForDisplay(*FWindow);

    QCOMPARE(FWindow->LaLength->text(), QStringLiteral("1500"));
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(FMessages->entries()[0].second,
             QStringLiteral("The machine could not be written to. The serial port is not open."));
}

void TestSettingPage::unitsSwitchLengthsOffsetAndForce() {
    vc::Options options = CutterOptions();
    options.state.paperLengthMm = 610;
    options.state.paperWidthMm = 1000;
    options.state.force = 100;
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    QCOMPARE(w.CBOffset->currentIndex(), 2);

    struct Shown {
        const char* length;
        const char* width;
        const char* offset;
        const char* force;
        const char* lengthUnit;
        const char* forceUnit;
    };
    const Shown inches{"24.01", "39.37", "0.010", "3.53", "Inch", "oz"};
    const Shown millimetres{"610", "1000", "0.250", "100", "mm", "g"};
    for (const auto& [unit, shown] : {std::pair{1, inches}, std::pair{0, millimetres}}) {
        Pick(w.CoUnit, unit);
        QCOMPARE(w.LaLength->text(), QLatin1String(shown.length));
        QCOMPARE(w.LaWidth->text(), QLatin1String(shown.width));
        QCOMPARE(w.CBOffset->currentIndex(), 2);
        QCOMPARE(w.CBOffset->currentText(), QLatin1String(shown.offset));
        QCOMPARE(w.LaForce->text(), QLatin1String(shown.force));
        for (zopra::TAutoSizeLabel* label : {w.Label20, w.Label21, w.Label29, w.Label32, w.Label33,
                                             w.Label18, w.Label35, w.Label27, w.Label26})
            QCOMPARE(label->text(), QLatin1String(shown.lengthUnit));
        QCOMPARE(w.Label28->text(), QLatin1String(shown.forceUnit));
    }

    // Moving the force bar in ounces; choosing an entry takes its offset into the record.
    Pick(w.CoUnit, 1);
    for (const auto& [grams, ounces] : {std::pair{5, "0.18"}, {100, "3.53"}, {400, "14.11"}}) {
        w.SBForce->setMaximum(400);
        w.SBForce->setValue(grams);
        QCOMPARE(w.LaForce->text(), QLatin1String(ounces));
    }
    Pick(w.CBOffset, 2);
    QCOMPARE(w.Record().Read().FBladeOffset, 250.0);
    // A fresh read in inches appears in inches.
    QTRY_VERIFY_WITH_TIMEOUT(w.BuQuery->isEnabled(), 6000);
    QTest::mouseClick(w.BuQuery, Qt::LeftButton);
    WaitForDisplay(w);
    QCOMPARE(w.LaLength->text(), QStringLiteral("24.01"));
    QCOMPARE(w.LaForce->text(), QStringLiteral("3.53"));
    QCOMPARE(w.CBOffset->currentText(), QStringLiteral("0.01"));
    QVERIFY(FMessages->entries().empty());
}

void TestSettingPage::sameUnitTwiceChangesNothing() {
    auto cutter = ConnectTo(CutterOptions());
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    w.CBOffset->lineEdit()->clear();
    QTest::keyClicks(w.CBOffset->lineEdit(), QStringLiteral("0.2"));
    QCOMPARE(w.Record().Read().FBladeOffset, 200.0);

    // Each step: the unit picked and the offset text it leaves.
    const std::pair<int, const char*> steps[] = {
        {0, "0.2"}, {0, "0.2"}, {1, "0.008"}, {1, "0.008"}, {0, "0.2"}};
    for (const auto& [unit, text] : steps) {
        Pick(w.CoUnit, unit);
        QCOMPARE(w.CBOffset->currentIndex(), -1);
        QCOMPARE(w.CBOffset->currentText(), QLatin1String(text));
    }
    QCOMPARE(w.Label20->text(), QStringLiteral("mm"));
    QVERIFY(FMessages->entries().empty());
}

void TestSettingPage::unitSwitchInACommaLocaleCompletesOrChangesNothing() {
    // As on a German desktop: LC_NUMERIC from the environment, "," shown and typed.
    struct GermanNumbers {
        std::string saved = std::setlocale(LC_NUMERIC, nullptr);
        ~GermanNumbers() {
            std::setlocale(LC_NUMERIC, saved.c_str());
            QLocale::setDefault(QLocale::c());
        }
    } restore;
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        QSKIP("the locale de_DE.UTF-8 is not installed (./run test makes it)");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    vc::Options options = CutterOptions();
    options.state.force = 120;
    auto cutter = ConnectTo(options);
    if (QTest::currentTestFailed())
        return;
    TMainForm_& w = *FWindow;
    Pick(w.CoUnit, 1);
    QVERIFY(FMessages->entries().empty());
    QCOMPARE(w.LaForce->text(), QStringLiteral("4,23"));
    QCOMPARE(w.CBOffset->currentText(), QStringLiteral("0,010"));

    // An offset that is no number: the switch back is refused as a whole.
    w.CBOffset->lineEdit()->clear();
    QTest::keyClicks(w.CBOffset->lineEdit(), QStringLiteral("abc"));
    FMessages->clear();
    Pick(w.CoUnit, 0);
    QCOMPARE(FMessages->entries().size(), 1u);
    QCOMPARE(w.CoUnit->currentIndex(), 1);
    QCOMPARE(w.Label21->text(), QStringLiteral("Inch"));
    QCOMPARE(w.LaForce->text(), QStringLiteral("4,23"));
    QCOMPARE(w.CBOffset->itemText(2), QStringLiteral("0,010"));
}

QTEST_MAIN(TestSettingPage)
#include "tst_settingpage.moc"
