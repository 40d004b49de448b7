// The window's pixel layout: every control created once, at the design's position and size,
// in its initial state. The behaviour lives in the other MainWindow*.cpp files.
#include "ui/MainWindow.h"

#include "ui/Controls.h"
#include "ui/OneShotTimer.h"
#include "ui/UpDown.h"

#include <QFont>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>

#include <utility>

namespace zopra {

namespace {

// Background of the step headings on the "Adjust" page.
constexpr QColor SkyBlue(0xA6, 0xCA, 0xF0);

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

TOneShotTimer* AddTimer(QObject* parent, const char* name, int intervalMs) {
    auto* timer = new TOneShotTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(intervalMs);
    // Every tick of the program is a single one: a workflow starts the timer, the handler runs
    // once and the timer stays stopped until the next workflow starts it.
    timer->setSingleShot(true);
    return timer;
}

} // namespace

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

} // namespace zopra
