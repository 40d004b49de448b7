#include "ui/MainWindow.h"

#include "protocol/Commands.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "ui/Controls.h"
#include "ui/EventGuard.h"
#include "ui/HostLocale.h"
#include "ui/MessageBox.h"
#include "ui/UpDown.h"

#include <QCoreApplication>
#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>
#include <QTimer>

#include <chrono>
#include <thread>
#include <utility>

namespace zopra {

TMainForm_* MainForm_ = nullptr;

namespace {

// Background of the step headings on the "Adjust" page.
constexpr QColor SkyBlue(0xA6, 0xCA, 0xF0);

// Fixed-point text ("0.0", "0.000") with the host's decimal separator.
QString FixedText(long double value, int decimals) {
    return QString::fromStdString(FormatFixed(value, decimals, HostDecimalSeparator()));
}

// One small factory per kind of control. Each gives the control its member's name as object
// name, so that the control can be found by name (tests, style sheets, accessibility).

TAutoSizeLabel* AddLabel(QWidget* parent, const char* name, const QString& text, int left,
                         int top) {
    auto* label = new TAutoSizeLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->move(left, top);
    return label;
}

TAutoSizeLabel* AddHeading(QWidget* parent, const char* name, const QString& text, int left,
                           int top) {
    TAutoSizeLabel* heading = AddLabel(parent, name, text, left, top);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::Window, SkyBlue);
    heading->setPalette(palette);
    // Children take the window's background role (button face) unless they name their own.
    heading->setBackgroundRole(QPalette::Window);
    heading->setAutoFillBackground(true);
    return heading;
}

QPushButton* AddButton(QWidget* parent, const char* name, const QString& caption,
                       const QRect& geometry) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    return button;
}

// An editable drop-down list with the given items and none of them selected.
TComboBox* AddComboBox(QWidget* parent, const char* name, const QStringList& items,
                       const QRect& geometry) {
    auto* list = new TComboBox(parent);
    list->setObjectName(QLatin1String(name));
    list->setGeometry(geometry);
    list->addItems(items);
    // QComboBox selects the first item of a list that was empty; these lists start without a
    // selection until the cutter's values arrive.
    list->setCurrentIndex(-1);
    return list;
}

QLineEdit* AddEdit(QWidget* parent, const char* name, const QString& text, const QRect& geometry,
                   bool withBorder) {
    auto* edit = new QLineEdit(text, parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(geometry);
    edit->setFrame(withBorder);
    return edit;
}

QScrollBar* AddScrollBar(QWidget* parent, const char* name, int minimum, int maximum, int position,
                         int largeStep, const QRect& geometry) {
    auto* bar = new QScrollBar(Qt::Horizontal, parent);
    bar->setObjectName(QLatin1String(name));
    bar->setGeometry(geometry);
    bar->setRange(minimum, maximum);
    bar->setValue(position);
    bar->setSingleStep(1);
    bar->setPageStep(largeStep);
    return bar;
}

TUpDown* AddUpDown(QWidget* parent, const char* name, int minimum, int maximum,
                   const QRect& geometry) {
    auto* spinner = new TUpDown(parent);
    spinner->setObjectName(QLatin1String(name));
    spinner->setGeometry(geometry);
    spinner->setRange(minimum, maximum);
    spinner->setPosition(0);
    spinner->setIncrement(1);
    return spinner;
}

QTimer* AddTimer(QObject* parent, const char* name, int intervalMs) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    // Every tick of the program is a single one: a workflow starts the timer, the handler runs
    // once and the timer stays stopped until the next workflow starts it.
    timer->setSingleShot(true);
    return timer;
}

} // namespace

TMainForm_::TMainForm_(QWidget* parent)
    : TMainForm_(std::make_unique<CutterConnections>(), parent) {}

TMainForm_::TMainForm_(std::unique_ptr<CutterConnections> links, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      FSession(std::move(links)) {
    SetUpWindow();
    CreateControls();
    ConnectHandlers();

    // While a query waits for its reply the window repaints, but no click or key can start
    // a second command series in the middle of this one.
    FSession.Dispatcher().SetWaitHook([](std::chrono::milliseconds step) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(step);
    });
    // Comm events reach the serial component's handler on the interface thread.
    FLinks->Comm2().SetInterfaceInvoker([this](std::function<void()> task) {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    });

    // The length units start in millimetres; unit switching changes them later.
    for (TAutoSizeLabel* unitLabel :
         {Label20, Label21, Label29, Label32, Label33, Label18, Label35, Label27, Label26}) {
        unitLabel->setText(QStringLiteral("mm"));
    }
}

TMainForm_::~TMainForm_() = default;

void TMainForm_::SetUpWindow() {
    setObjectName(QStringLiteral("MainForm_"));
    setWindowTitle(QStringLiteral("ZOPRA V2.04-03"));
    // The window is designed pixel by pixel: a fixed client area, no resizing and no
    // minimise or maximise box (only close, as the window flags above say).
    setFixedSize(ClientWidth, ClientHeight);
    move(InitialLeft, InitialTop);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    // Pixel size rather than points, so that the design does not grow with the screen's dpi.
    // Where Arial is missing (Linux), fontconfig maps it to Liberation Sans, which has the
    // same metrics; the second family covers a font setup without that alias.
    QFont designFont(QStringLiteral("Arial"));
    designFont.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans")});
    designFont.setPixelSize(13);
    designFont.setBold(true);
    setFont(designFont);
}

void TMainForm_::CreateControls() {
    CreateTopStrip();
    CreateSettingPage();
    CreateAdjustPage();
    CreateDiagnosticControls();
    CreateTimers();
}

void TMainForm_::CreateTopStrip() {
    CBConnects = AddComboBox(this, "CBConnects", {}, QRect(4, 4, 149, 24));

    BuConnect = AddButton(this, "BuConnect", QStringLiteral("Connect"), QRect(156, 4, 65, 25));
    BuConnect->setEnabled(false);

    Label1 = AddLabel(this, "Label1", QStringLiteral("Model:"), 228, 4);
    LaMName = AddLabel(this, "LaMName", QStringLiteral(" "), 272, 4);
    Label2 = AddLabel(this, "Label2", QStringLiteral("Version:"), 228, 20);
    LaVer = AddLabel(this, "LaVer", QStringLiteral(" "), 280, 20);

    TSSetting = new QTabWidget(this);
    TSSetting->setObjectName(QStringLiteral("TSSetting"));
    TSSetting->setGeometry(5, 40, 404, 357);
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    // addTab() hands the pages to the tab control, which owns them from here on.
    TSSetting->addTab(TabSheet1, QStringLiteral("Setting"));
    TSSetting->addTab(TabSheet2, QStringLiteral("Adjust"));
    TSSetting->setCurrentWidget(TabSheet1);
}

void TMainForm_::CreateSettingPage() {
    QWidget* page = TabSheet1;

    Label3 = AddLabel(page, "Label3", QStringLiteral("Paper Length (X)"), 12, 8);
    LaLength = AddLabel(page, "LaLength", QStringLiteral("0"), 128, 8);
    Label20 = AddLabel(page, "Label20", QString(), 200, 8);

    Label4 = AddLabel(page, "Label4", QStringLiteral("Paper Width (Y)"), 12, 28);
    LaWidth = AddLabel(page, "LaWidth", QStringLiteral("0"), 128, 28);
    Label21 = AddLabel(page, "Label21", QString(), 200, 28);

    Label5 = AddLabel(page, "Label5", QStringLiteral("Blade Force"), 12, 56);
    LaForce = AddLabel(page, "LaForce", QStringLiteral("0"), 137, 56);
    Label28 = AddLabel(page, "Label28", QStringLiteral("g"), 168, 56);
    // Grams, one step per click on the arrows as on the track.
    SBForce = AddScrollBar(page, "SBForce", 5, 400, 5, 1, QRect(48, 76, 149, 17));
    SBForce->hide();

    Label39 = AddLabel(page, "Label39", QStringLiteral("Blade Holder"), 220, 56);
    CBBladeHolder =
        AddComboBox(page, "CBBladeHolder", {QStringLiteral("Metal"), QStringLiteral("Plastic")},
                    QRect(308, 52, 81, 24));
    CBBladeHolder->setEnabled(false);

    Label7 = AddLabel(page, "Label7", QStringLiteral("Blade Offset"), 12, 108);
    CBOffset = AddComboBox(page, "CBOffset", {}, QRect(124, 104, 75, 24));
    CBOffset->setEnabled(false);
    Label29 = AddLabel(page, "Label29", QString(), 200, 108);
    Label29->hide();

    Label9 = AddLabel(page, "Label9", QStringLiteral("Media Type"), 12, 132);
    CBMedia = AddComboBox(page, "CBMedia", {QStringLiteral("Single"), QStringLiteral("Roll")},
                          QRect(124, 128, 75, 24));
    CBMedia->setEnabled(false);

    Label6 = AddLabel(page, "Label6", QStringLiteral("Media Weight"), 12, 156);
    CBWeight = AddComboBox(page, "CBWeight", {QStringLiteral("Heavy"), QStringLiteral("Light")},
                           QRect(124, 152, 75, 24));
    CBWeight->setEnabled(false);

    Label8 = AddLabel(page, "Label8", QStringLiteral("Auto Unroll"), 12, 180);
    CBUnroll = AddComboBox(page, "CBUnroll", {QStringLiteral("Disable"), QStringLiteral("Enable")},
                           QRect(124, 176, 75, 24));
    CBUnroll->setEnabled(false);

    Label10 = AddLabel(page, "Label10", QStringLiteral("Vector Quality"), 12, 204);
    CBAccel = AddComboBox(page, "CBAccel", {QStringLiteral("Fine"), QStringLiteral("Draft")},
                          QRect(124, 200, 75, 24));
    CBAccel->setEnabled(false);

    Label11 = AddLabel(page, "Label11", QStringLiteral("Vector Smooth"), 12, 228);
    CBSmooth = AddComboBox(page, "CBSmooth", {QStringLiteral("Disable"), QStringLiteral("Enable")},
                           QRect(124, 224, 75, 24));
    CBSmooth->setEnabled(false);

    Label37 = AddLabel(page, "Label37", QStringLiteral("Unit"), 12, 252);
    CoUnit = AddComboBox(page, "CoUnit", {QStringLiteral("mm/g"), QStringLiteral("Inch/oz")},
                         QRect(124, 248, 75, 24));
    CoUnit->setCurrentIndex(0);
    CoUnit->setEnabled(false);

    BuUpdate = AddButton(page, "BuUpdate", QStringLiteral("Update"), QRect(12, 285, 75, 25));
    BuUpdate->setEnabled(false);
    BuQuery =
        AddButton(page, "BuQuery", QStringLiteral("Read Parameters"), QRect(100, 285, 125, 25));
    BuQuery->setEnabled(false);
}

void TMainForm_::CreateAdjustPage() {
    QWidget* page = TabSheet2;

    // STEP1: plot a test square.
    Label13 = AddHeading(page, "Label13", QStringLiteral("STEP1"), 112, 4);
    Label31 = AddLabel(page, "Label31", QStringLiteral("Draw a square for testing"), 0, 24);
    Label15 = AddLabel(page, "Label15", QStringLiteral("Length (X)"), 4, 52);
    EdTestDraw_X =
        AddEdit(page, "EdTestDraw_X", QStringLiteral("500.0"), QRect(80, 52, 41, 17), false);
    Label32 = AddLabel(page, "Label32", QString(), 128, 52);
    Label14 = AddLabel(page, "Label14", QStringLiteral("Width (Y)"), 4, 84);
    EdTestDraw_Y =
        AddEdit(page, "EdTestDraw_Y", QStringLiteral("500.0"), QRect(80, 84, 41, 17), false);
    Label33 = AddLabel(page, "Label33", QString(), 128, 84);
    BuScale1 = AddButton(page, "BuScale1", QStringLiteral("Scaling Test"), QRect(188, 62, 97, 25));
    BuScale1->setEnabled(false);

    // STEP2: enter what was measured on the plot and calibrate.
    Label34 = AddHeading(page, "Label34", QStringLiteral("STEP2"), 112, 112);
    Label16 =
        AddLabel(page, "Label16", QStringLiteral("Measure and enter the actual output"), 0, 132);
    Label19 = AddLabel(page, "Label19", QStringLiteral("Length (X)"), 4, 158);
    EdMeasure_x =
        AddEdit(page, "EdMeasure_x", QStringLiteral("500.0"), QRect(80, 156, 60, 24), true);
    Label18 = AddLabel(page, "Label18", QString(), 152, 160);
    Label17 = AddLabel(page, "Label17", QStringLiteral("Width (Y)"), 4, 186);
    EdMeasure_y =
        AddEdit(page, "EdMeasure_y", QStringLiteral("500.0"), QRect(80, 184, 60, 24), true);
    Label35 = AddLabel(page, "Label35", QString(), 152, 188);
    BuScale2 = AddButton(page, "BuScale2", QStringLiteral("Calibrate"), QRect(192, 176, 75, 21));
    BuScale2->setEnabled(false);

    // AAS offsets: the current values and the adjustment to add to them.
    Label36 = AddHeading(page, "Label36", QStringLiteral("AASII Offset Function"), 64, 216);
    Label23 = AddLabel(page, "Label23", QStringLiteral("AAS X Offset"), 2, 245);
    LaAASII_X_Offset = AddLabel(page, "LaAASII_X_Offset", QStringLiteral("0.000"), 92, 245);
    Label25 = AddLabel(page, "Label25", QStringLiteral("Adjust "), 138, 244);
    EdAASII_X_Offset =
        AddEdit(page, "EdAASII_X_Offset", QStringLiteral("0"), QRect(184, 243, 45, 24), true);
    UpDown1 = AddUpDown(page, "UpDown1", -100, 100, QRect(229, 243, 17, 24));
    UpDown1->setEnabled(false);
    Label27 = AddLabel(page, "Label27", QString(), 248, 246);

    Label22 = AddLabel(page, "Label22", QStringLiteral("AAS Y Offset"), 2, 276);
    LaAASII_Y_Offset = AddLabel(page, "LaAASII_Y_Offset", QStringLiteral("0.000"), 92, 276);
    Label24 = AddLabel(page, "Label24", QStringLiteral("Adjust "), 138, 274);
    EdAASII_Y_Offset =
        AddEdit(page, "EdAASII_Y_Offset", QStringLiteral("0.000"), QRect(184, 272, 45, 24), true);
    UpDown2 = AddUpDown(page, "UpDown2", -100, 100, QRect(229, 271, 17, 24));
    UpDown2->setEnabled(false);
    Label26 = AddLabel(page, "Label26", QString(), 248, 276);

    BuAASIIUpdate = AddButton(page, "BuAASIIUpdate", QStringLiteral("AASII Offset Update"),
                              QRect(28, 299, 143, 27));
    BuAASIIUpdate->setEnabled(false);
}

void TMainForm_::CreateDiagnosticControls() {
    // A column right of the client area (left 424 and beyond): the window clips it away.
    constexpr int left = 432;
    constexpr int rowHeight = 18;
    int top = 4;
    const auto nextTop = [&top] { return std::exchange(top, top + rowHeight); };

    LaCName = AddLabel(this, "LaCName", QString(), left, nextTop());
    LaDate = AddLabel(this, "LaDate", QString(), left, nextTop());
    LaTime = AddLabel(this, "LaTime", QString(), left, nextTop());
    LaOffset = AddLabel(this, "LaOffset", QString(), left, nextTop());
    LaMedia = AddLabel(this, "LaMedia", QString(), left, nextTop());
    LaWeight = AddLabel(this, "LaWeight", QString(), left, nextTop());
    LaUnroll = AddLabel(this, "LaUnroll", QString(), left, nextTop());
    LaAccel = AddLabel(this, "LaAccel", QString(), left, nextTop());
    LaSmooth = AddLabel(this, "LaSmooth", QString(), left, nextTop());
    LaXScale = AddLabel(this, "LaXScale", QString(), left, nextTop());
    LaYScale = AddLabel(this, "LaYScale", QString(), left, nextTop());
    LaSpeed = AddLabel(this, "LaSpeed", QString(), left, nextTop());
    AASOFFSET_outputevalue = AddLabel(this, "AASOFFSET_outputevalue", QString(), left, nextTop());

    // Cutting speed and blade offset in scroll-bar form; the pages show them as lists.
    SBSpeed = AddScrollBar(this, "SBSpeed", 3, 600, 5, 1, QRect(left, nextTop(), 121, 17));
    SBSpeed->hide();
    SBOffset = AddScrollBar(this, "SBOffset", 0, 40, 0, 10, QRect(left, nextTop(), 121, 17));
}

void TMainForm_::CreateTimers() {
    Timer1 = AddTimer(this, "Timer1", 100);
    Timer2 = AddTimer(this, "Timer2", 100);
    Timer3 = AddTimer(this, "Timer3", 2000);
}

void TMainForm_::ConnectHandlers() {
    ConnectGuarded(CBConnects, &TComboBox::dropDown, this, &TMainForm_::CBConnectsDropDown);
    ConnectGuarded(CBConnects, &TComboBox::changed, this, &TMainForm_::CBConnectsChange);
    ConnectGuarded(BuConnect, &QPushButton::clicked, this, &TMainForm_::BuConnectClick);

    ConnectGuarded(Timer1, &QTimer::timeout, this, &TMainForm_::Timer1Timer);
    ConnectGuarded(Timer2, &QTimer::timeout, this, &TMainForm_::Timer2Timer);
    ConnectGuarded(Timer3, &QTimer::timeout, this, &TMainForm_::Timer3Timer);

    ConnectGuarded(BuQuery, &QPushButton::clicked, this, &TMainForm_::BuQueryClick);
    ConnectGuarded(BuUpdate, &QPushButton::clicked, this, &TMainForm_::BuUpdateClick);
    // Scroll bars report every change of position, also one made by the program.
    ConnectGuarded(SBForce, &QScrollBar::valueChanged, this, &TMainForm_::SBForceChange);
    ConnectGuarded(CBOffset, &TComboBox::changed, this, &TMainForm_::CBOffsetChange);
    ConnectGuarded(SBSpeed, &QScrollBar::valueChanged, this, &TMainForm_::SBSpeedChange);
    ConnectGuarded(SBOffset, &QScrollBar::valueChanged, this, &TMainForm_::SBOffsetChange);
    ConnectGuarded(CoUnit, &TComboBox::changed, this, &TMainForm_::CoUnitChange);

    ConnectGuarded(TSSetting, &QTabWidget::currentChanged, this, &TMainForm_::TSSettingChange);
    ConnectGuarded(BuScale1, &QPushButton::clicked, this, &TMainForm_::BuScale1Click);
    ConnectGuarded(BuScale2, &QPushButton::clicked, this, &TMainForm_::BuScale2Click);
    ConnectGuarded(BuAASIIUpdate, &QPushButton::clicked, this, &TMainForm_::BuAASIIUpdateClick);
    ConnectGuarded(UpDown1, &TUpDown::changing, this, &TMainForm_::UpDown1ChangingEx);
    ConnectGuarded(UpDown2, &TUpDown::changing, this, &TMainForm_::UpDown2ChangingEx);
    ConnectGuarded(UpDown1, &TUpDown::clicked, this, &TMainForm_::UpDown1Click);
    ConnectGuarded(UpDown2, &TUpDown::clicked, this, &TMainForm_::UpDown2Click);
}

void TMainForm_::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window system repeats a show (spontaneous) when it maps or restores the window; the
    // first-show steps belong to the program's own show only.
    if (!event->spontaneous()) {
        RunGuarded([this] { FormShow(); });
    }
}

void TMainForm_::FormShow() {
    // Blade offsets in millimetres, the positions the cutter's offset setting counts.
    for (const long double offset : {0.0L, 0.175L, 0.25L, 0.275L, 0.3L, 0.5L, 0.75L, 1.0L}) {
        CBOffset->addItem(FixedText(offset, 3));
    }
    CBOffset->setCurrentIndex(-1);

    const QString testSize = FixedText(500.0L, 1);
    for (QLineEdit* sizeEdit : {EdTestDraw_X, EdTestDraw_Y, EdMeasure_x, EdMeasure_y}) {
        sizeEdit->setText(testSize);
    }
    const QString noAdjustment = FixedText(0.0L, 1);
    EdAASII_X_Offset->setText(noAdjustment);
    EdAASII_Y_Offset->setText(noAdjustment);
}

// Event handlers of the workflows. The connection, reading and writing workflows fill them in.

void TMainForm_::CBConnectsDropDown() {
    RefreshConnections();
}

void TMainForm_::CBConnectsChange() {
    const std::string text = CBConnects->currentText().toStdString();
    FLinks->ChooseLinkKind(CBConnects->currentIndex(), text);
    BuConnect->setEnabled(true);
    const bool holder = !HidesBladeHolder(text);
    Label39->setVisible(holder);
    CBBladeHolder->setVisible(holder);
}

void TMainForm_::BuConnectClick() {
    BuConnect->setEnabled(false);
    Timer3->start();
    if (OpenConnection() == 0) {
        ShowMessage(QStringLiteral("No Machine Connected"));
        return;
    }
    // Each query goes out once the reply to the one before has been read; a cutter that
    // does not answer ends the series with "The machine did not answer.".
    for (std::int32_t code : ParameterReadOrder(CBConnects->currentText().toStdString()))
        SendCommand(code);
    Timer1->start();
    std::this_thread::sleep_for(kParameterReadEndPause);
}

void TMainForm_::Timer1Timer() {
    if (FRecord.FIdentityReady.load(std::memory_order_acquire) == 1) {
        FRecord.FIdentityReady.store(0, std::memory_order_release);
        EnableParameterControls();
        ApplyModelRules(FRecord.Read().FModelName);
    }
    ShowParameterValues();
    Timer1->stop();
    CoUnitChange();
    CBOffset->setEditText(QString::fromStdString(BladeOffsetText(
        FRecord.Read().FBladeOffset, CoUnit->currentIndex() == 1, HostDecimalSeparator())));
    ReportUnreadableReply();
}

void TMainForm_::Timer2Timer() {
    const MachineSettings values = FRecord.Read();
    const bool inches = CoUnit->currentIndex() == 1;
    const char separator = HostDecimalSeparator();
    LaAASII_X_Offset->setText(
        QString::fromStdString(AasOffsetText(values.FAASXOffset, inches, separator)));
    LaAASII_Y_Offset->setText(
        QString::fromStdString(AasOffsetText(values.FAASYOffset, inches, separator)));
    Timer2->stop();
    ReportUnreadableReply();
}

void TMainForm_::Timer3Timer() {
    for (QPushButton* button : {BuUpdate, BuScale2, BuAASIIUpdate, BuScale1, BuQuery})
        button->setEnabled(true);
    Timer3->stop();
}

void TMainForm_::BuQueryClick() {
    // Reads all parameters from the cutter again.
}

void TMainForm_::BuUpdateClick() {
    // Writes the settings chosen on the page to the cutter.
}

void TMainForm_::SBForceChange() {
    // Shows the blade force position in the current unit.
}

void TMainForm_::CBOffsetChange() {
    // Takes the typed or chosen blade offset into the settings record.
}

void TMainForm_::SBSpeedChange() {
    // Shows the cutting speed position.
}

void TMainForm_::SBOffsetChange() {
    // Shows the blade offset position in millimetres.
}

void TMainForm_::CoUnitChange() {
    // Converts the displayed values to the chosen unit system.
}

void TMainForm_::TSSettingChange() {
    // Resets the "Adjust" page's fields to the defaults of the current unit.
}

void TMainForm_::BuScale1Click() {
    // Plots the test square.
}

void TMainForm_::BuScale2Click() {
    // Sends new scale factors computed from the measured square.
}

void TMainForm_::BuAASIIUpdateClick() {
    // Writes the adjusted AAS offsets and reconnects to read them back.
}

void TMainForm_::UpDown1ChangingEx(bool& /*allowChange*/, int /*newValue*/,
                                   UpDownDirection /*direction*/) {
    // Shows the X adjustment of the spinner's new position.
}

void TMainForm_::UpDown2ChangingEx(bool& /*allowChange*/, int /*newValue*/,
                                   UpDownDirection /*direction*/) {
    // Shows the Y adjustment of the spinner's new position.
}

void TMainForm_::UpDown1Click(UpDownButton /*button*/) {
    // Converts the X adjustment to inches in the "Inch/oz" unit system.
}

void TMainForm_::UpDown2Click(UpDownButton /*button*/) {
    // Converts the Y adjustment to inches in the "Inch/oz" unit system.
}

// The protocol side of the window.

void TMainForm_::SendCommand(std::int32_t code) {
    FSession.SendCommand(code, CurrentCommandInputs());
}

void TMainForm_::WriteToLink(const std::string& bytes) {
    FSession.WriteToLink(bytes);
}

CommandInputs TMainForm_::CurrentCommandInputs() const {
    return {EdTestDraw_X->text().toStdString(), EdTestDraw_Y->text().toStdString(),
            EdMeasure_x->text().toStdString(),  EdMeasure_y->text().toStdString(),
            CoUnit->currentIndex() == 1,        HostDecimalSeparator()};
}

void TMainForm_::ReportUnreadableReply() {
    const std::optional<ReplyFailure> failure = FSession.TakeUnreadableReply();
    if (failure)
        ShowMessage(QStringLiteral("The machine sent a reply that could not be read: ") +
                    QString::fromStdString(failure->reply));
}

void TMainForm_::EnableParameterControls() {
    for (QWidget* control : std::initializer_list<QWidget*>{
             BuUpdate, BuAASIIUpdate, BuScale1, BuScale2, CBOffset, CBMedia, CBWeight, CBUnroll,
             CBAccel, CBSmooth, UpDown1, UpDown2, CoUnit, CBBladeHolder})
        control->setEnabled(true);
    for (QWidget* control : std::initializer_list<QWidget*>{SBForce, SBSpeed, Label29})
        control->setVisible(true);
}

void TMainForm_::ApplyModelRules(const std::string& modelName) {
    const ModelRules rules = RulesForModel(modelName);
    SBForce->setMaximum(rules.forceMaximum);
    if (rules.speedMaximum)
        SBSpeed->setMaximum(*rules.speedMaximum);
    CBMedia->setEnabled(rules.mediaListEnabled);
    const auto aasControls = std::initializer_list<QWidget*>{EdAASII_X_Offset, EdAASII_Y_Offset,
                                                             UpDown1, UpDown2, BuAASIIUpdate};
    switch (rules.aas) {
    case ModelRules::AasFunctions::ReadAndEnable:
        SendCommand(kCmdReadAasOffsets);
        Timer2->start();
        for (QWidget* control : aasControls)
            control->setEnabled(true);
        break;
    case ModelRules::AasFunctions::HideAndDisable:
        BuAASIIUpdate->hide();
        for (QWidget* control : aasControls)
            control->setEnabled(false);
        break;
    case ModelRules::AasFunctions::Untouched:
        break;
    }
}

void TMainForm_::ShowParameterValues() {
    const ParameterDisplay d = MakeParameterDisplay(FRecord.Read(), HostDecimalSeparator());
    const std::pair<TAutoSizeLabel*, const std::string&> labels[] = {
        {LaLength, d.length}, {LaWidth, d.width},   {LaSpeed, d.speed},   {LaForce, d.force},
        {LaOffset, d.offset}, {LaAccel, d.accel},   {LaSmooth, d.smooth}, {LaUnroll, d.unroll},
        {LaMedia, d.media},   {LaXScale, d.xScale}, {LaYScale, d.yScale}, {LaCName, d.cname},
        {LaMName, d.model},   {LaVer, d.version},   {LaDate, d.date},     {LaTime, d.time},
        {LaWeight, d.weight}};
    for (const auto& [label, text] : labels)
        label->setText(QString::fromStdString(text));

    CBWeight->setCurrentIndex(d.weightIndex);
    CBAccel->setCurrentIndex(d.accelIndex);
    CBMedia->setCurrentIndex(d.mediaIndex);
    CBUnroll->setCurrentIndex(d.unrollIndex);
    CBSmooth->setCurrentIndex(d.smoothIndex);
    SBForce->setValue(d.forcePosition);
    CBBladeHolder->setCurrentIndex(d.bladeHolderIndex);
    CBOffset->setCurrentIndex(d.offsetIndex);
}

// Discovery and opening: the links do the work, the window shows the result.

void TMainForm_::RefreshConnections() {
    const QString typed = CBConnects->currentText();
    const std::vector<ConnectionEntry>& entries = FLinks->RefreshConnections(
        [](const std::string& text) { ShowMessage(QString::fromStdString(text)); });
    // Refilling the list is not a choice of the user's: "Connect" stays as it was.
    const QSignalBlocker blocker(CBConnects);
    CBConnects->clear();
    bool hideHolder = false;
    for (const ConnectionEntry& entry : entries) {
        CBConnects->addItem(QString::fromStdString(entry.text));
        hideHolder =
            hideHolder || (entry.kind == kLinkPrinterClass && HidesBladeHolder(entry.text));
    }
    CBConnects->setCurrentIndex(-1);
    CBConnects->setEditText(typed);
    if (hideHolder) {
        Label39->hide();
        CBBladeHolder->hide();
    }
}

int TMainForm_::OpenConnection() {
    int opened = 0;
    try {
        opened = FLinks->OpenConnection(CBConnects->currentIndex(),
                                        CBConnects->currentText().toStdString());
    } catch (...) {
        // No work button may come back without a link.
        Timer3->stop();
        throw;
    }
    if (opened == 0) {
        BuUpdate->setEnabled(false);
        BuAASIIUpdate->setEnabled(false);
        Timer3->stop();
    }
    return opened;
}

} // namespace zopra
