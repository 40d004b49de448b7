// The connect flow, the follow-up timers and the parameter display: discovery and opening
// through the links, the parameter read, and the tick that moves a read into the controls.
#include "ui/MainWindow.h"

#include "protocol/Commands.h"
#include "protocol/ModelRules.h"
#include "protocol/ParameterDisplay.h"
#include "ui/BusyCursor.h"
#include "ui/Controls.h"
#include "ui/HostLocale.h"
#include "ui/MessageBox.h"
#include "ui/OneShotTimer.h"
#include "ui/UpDown.h"

#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <optional>
#include <thread>

namespace zopra {

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
    ReadParameters();
}

void TMainForm_::ReadParameters() {
    const BusyCursor busy; // the replies, then the pause after the read
    // Each query goes out once the reply to the one before has been read; a cutter that
    // does not answer ends the series with "The machine did not answer.", a query that
    // cannot be written ends it at once with "The machine could not be written to.".
    for (CommandCode code : ParameterReadOrder(CBConnects->currentText().toStdString()))
        SendCommand(code);
    Timer1->start();
    // A plain sleep: the display tick comes after it, as it always has.
    std::this_thread::sleep_for(kParameterReadEndPause);
}

void TMainForm_::Timer1Timer() {
    // A link that broke after the read must not hide what was read: the offset query that
    // could not be written is reported once the values are shown.
    std::optional<LinkWriteError> offsetQueryFailed;
    if (FRecord.FIdentityReady.load(std::memory_order_acquire) == 1) {
        FRecord.FIdentityReady.store(0, std::memory_order_release);
        EnableParameterControls();
        try {
            ApplyModelRules(FRecord.Read().FModelName);
        } catch (const LinkWriteError& error) {
            offsetQueryFailed = error;
        }
    }
    ShowParameterValues();
    Timer1->stop();
    CoUnitChange();
    CBOffset->setEditText(QString::fromStdString(
        BladeOffsetText(FRecord.Read().FBladeOffset, InchesSelected(), HostDecimalSeparator())));
    ReportUnreadableReply();
    if (offsetQueryFailed)
        throw *offsetQueryFailed;
}

void TMainForm_::Timer2Timer() {
    const MachineSettings values = FRecord.Read();
    const bool inches = InchesSelected();
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
    if (d.forcePosition)
        SBForce->setValue(*d.forcePosition);
    CBBladeHolder->setCurrentIndex(d.bladeHolderIndex);
    CBOffset->setCurrentIndex(d.offsetIndex);
}

// Discovery and opening: the links do the work, the window shows the result.

void TMainForm_::RefreshConnections() {
    const BusyCursor busy; // each printer-class device is asked who it is
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
    const BusyCursor busy; // opening a serial port pauses around it
    int opened = 0;
    try {
        opened = FSession.OpenConnection(CBConnects->currentIndex(),
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
