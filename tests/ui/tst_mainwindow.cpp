// The main window as it stands before any cutter is connected: its frame, every control's
// place, content and state, and the first-show steps.

#include "MessageRecorder.h"

#include "ui/Controls.h"
#include "ui/MainWindow.h"

#include <QFontInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using zopra::TMainForm_;

class TestMainForm : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowFrame();
    void designFont();
    void captionsBeforeShow_data();
    void captionsBeforeShow();
    void textsAfterShow_data();
    void textsAfterShow();
    void enabledAndVisible_data();
    void enabledAndVisible();
    void offsetListFilledOnShow();
    void numbersUseTheHostSeparator_data();
    void numbersUseTheHostSeparator();
    void typedText_data();
    void typedText();
    void captionGrowsWithItsText();
    void visibleControlsFitTheirParent();
    void diagnosticControlsLieOutsideTheClientArea();

private:
    template <typename Widget = QWidget> Widget* Control(const QString& name) const;
    void ShowWindow();

    std::unique_ptr<MessageRecorder> FMessages;
    std::unique_ptr<TMainForm_> FWindow;
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
    FWindow = std::make_unique<TMainForm_>();
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
    QCOMPARE(FWindow->size(), QSize(413, 398));
    QCOMPARE(FWindow->minimumSize(), QSize(413, 398));
    QCOMPARE(FWindow->maximumSize(), QSize(413, 398));
    QCOMPARE(FWindow->pos(), QPoint(367, 184));

    const Qt::WindowFlags flags = FWindow->windowFlags();
    QVERIFY(flags.testFlag(Qt::Window));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
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

void TestMainForm::captionsBeforeShow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    const auto row = [](const char* name, const char* text) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(text);
    };
    // The window's constructor sets the nine length units, in millimetres.
    for (const char* unit : {"Label20", "Label21", "Label29", "Label32", "Label33", "Label18",
                             "Label35", "Label27", "Label26"}) {
        row(unit, "mm");
    }
    row("Label28", "g");
    row("LaLength", "0");
    row("LaWidth", "0");
    row("LaForce", "0");
    row("LaMName", " ");
    row("LaVer", " ");
    row("LaAASII_X_Offset", "0.000");
    row("LaAASII_Y_Offset", "0.000");
    // The adjustment fields read "0" and "0.000" until the first show replaces both.
    row("EdAASII_X_Offset", "0");
    row("EdAASII_Y_Offset", "0.000");
}

void TestMainForm::captionsBeforeShow() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    // Labels, buttons and edits all show their content as the property "text".
    QCOMPARE(Control<QObject>(name)->property("text").toString(), text);
}

void TestMainForm::textsAfterShow_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    for (const char* size : {"EdTestDraw_X", "EdTestDraw_Y", "EdMeasure_x", "EdMeasure_y"}) {
        QTest::newRow(size) << QString::fromLatin1(size) << QStringLiteral("500.0");
    }
    for (const char* adjustment : {"EdAASII_X_Offset", "EdAASII_Y_Offset"}) {
        QTest::newRow(adjustment) << QString::fromLatin1(adjustment) << QStringLiteral("0.0");
    }
}

void TestMainForm::textsAfterShow() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    // The test runs in the C locale, whose decimal separator is ".".
    ShowWindow();
    QCOMPARE(Control<QObject>(name)->property("text").toString(), text);
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
    FWindow->TSSetting->setCurrentWidget(
        control->parentWidget() == FWindow->TabSheet2 ? FWindow->TabSheet2 : FWindow->TabSheet1);
    QCOMPARE(control->isVisible(), visible);
}

void TestMainForm::offsetListFilledOnShow() {
    QCOMPARE(FWindow->CBOffset->count(), 0);
    ShowWindow();
    const QStringList expected{"0.000", "0.175", "0.250", "0.275",
                               "0.300", "0.500", "0.750", "1.000"};
    QStringList actual;
    for (int i = 0; i < FWindow->CBOffset->count(); ++i) {
        actual << FWindow->CBOffset->itemText(i);
    }
    QCOMPARE(actual, expected);
    QCOMPARE(FWindow->CBOffset->currentIndex(), -1);
    QCOMPARE(FWindow->CBOffset->currentText(), QString());
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

    QCOMPARE(FWindow->CBOffset->itemText(1), offset);
    QCOMPARE(FWindow->EdTestDraw_X->text(), size);
    QCOMPARE(FWindow->EdMeasure_y->text(), size);
    QCOMPARE(FWindow->EdAASII_Y_Offset->text(), adjustment);
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
    QTest::newRow("unit not in the list")
        << "CoUnit" << QStringList() << 0 << true << "cm" << -1 << "cm";
    QTest::newRow("unit chosen, then edited")
        << "CoUnit" << QStringList() << 0 << false << "x" << -1 << "mm/gx";
    QTest::newRow("other unit typed")
        << "CoUnit" << QStringList() << 0 << true << "Inch/oz" << 1 << "Inch/oz";
    QTest::newRow("unit in other case")
        << "CoUnit" << QStringList() << 0 << true << "inch/oz" << -1 << "inch/oz";
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
    FWindow->CBOffset->setCurrentIndex(2);
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
    zopra::TAutoSizeLabel* model = FWindow->LaMName;
    const int narrow = model->width();
    model->setText(QStringLiteral("Vantor II 24 PZ"));
    QVERIFY(model->width() > narrow);
    QCOMPARE(model->size(), model->sizeHint());
    QCOMPARE(model->pos(), QPoint(272, 4));

    FWindow->Label21->setText(QStringLiteral("Inch"));
    QCOMPARE(FWindow->Label21->size(), FWindow->Label21->sizeHint());
}

void TestMainForm::visibleControlsFitTheirParent() {
    ShowWindow();
    // No control of the design may be cut off by the edge of its page or of the window: with
    // the design font every caption and button must be whole.
    for (QWidget* parent :
         {static_cast<QWidget*>(FWindow.get()), FWindow->TabSheet1, FWindow->TabSheet2}) {
        for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (child->isHidden() || child->x() >= TMainForm_::ClientWidth) {
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
        QCOMPARE(control->parentWidget(), FWindow.get());
        QVERIFY2(control->x() >= 424, name);
        QVERIFY2(!client.intersects(control->geometry()), name);
    }
}

QTEST_MAIN(TestMainForm)
#include "tst_mainwindow.moc"
