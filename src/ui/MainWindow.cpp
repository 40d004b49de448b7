// The window's construction, first show and handler connections, and its protocol side:
// the dispatcher's commands and the raw writes, with what the page fields give them.
#include "ui/MainWindow.h"

#include "protocol/Calibration.h"
#include "protocol/ParameterDisplay.h"
#include "ui/BusyCursor.h"
#include "ui/Controls.h"
#include "ui/EventGuard.h"
#include "ui/HostLocale.h"
#include "ui/MessageBox.h"
#include "ui/OneShotTimer.h"
#include "ui/UpDown.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QTabWidget>

#include <chrono>
#include <thread>
#include <utility>

namespace zopra {

TMainForm_* MainForm_ = nullptr;

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
    const char separator = HostDecimalSeparator();
    // Blade offsets in millimetres, the positions the cutter's offset setting counts.
    for (const std::string& entry : BladeOffsetEntries(false, separator))
        CBOffset->addItem(QString::fromStdString(entry));
    CBOffset->setCurrentIndex(-1);

    const AdjustPageDefaults defaults = MakeAdjustPageDefaults(false, 0, 0, separator);
    const QString testSize = QString::fromStdString(defaults.testSize);
    for (QLineEdit* sizeEdit : {EdTestDraw_X, EdTestDraw_Y, EdMeasure_x, EdMeasure_y})
        sizeEdit->setText(testSize);
    EdAASII_X_Offset->setText(QString::fromStdString(defaults.adjustment));
    EdAASII_Y_Offset->setText(QString::fromStdString(defaults.adjustment));
}

// The protocol side of the window.

void TMainForm_::SendCommand(CommandCode code) {
    // The dispatcher waits here for the reply before (and after) the command goes out.
    const BusyCursor busy;
    FSession.SendCommand(code, CurrentCommandInputs());
}

void TMainForm_::WriteToLink(const std::string& bytes) {
    // The serial link pauses after every write.
    const BusyCursor busy;
    if (const LinkWriteResult written = FSession.WriteToLink(bytes); !written)
        throw LinkWriteError(written.reason);
}

bool TMainForm_::InchesSelected() const {
    return CoUnit->currentIndex() == 1;
}

CommandInputs TMainForm_::CurrentCommandInputs() const {
    return {EdTestDraw_X->text().toStdString(),
            EdTestDraw_Y->text().toStdString(),
            EdMeasure_x->text().toStdString(),
            EdMeasure_y->text().toStdString(),
            InchesSelected(),
            HostDecimalSeparator()};
}

void TMainForm_::ReportUnreadableReply() {
    const std::optional<ReplyFailure> failure = FSession.TakeUnreadableReply();
    if (failure)
        ShowMessage(QStringLiteral("The machine sent a reply that could not be read: ") +
                    QString::fromStdString(failure->reply));
}

} // namespace zopra
