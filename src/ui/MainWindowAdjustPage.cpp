// The "Adjust" page: STEP1 plots the test square, STEP2 sends new scale factors computed
// from the measured square, the spinners and edits set an AAS adjustment, and "AASII Offset
// Update" sends the offsets and connects again to read them back. A change of page resets
// the page's fields.
#include "ui/MainWindow.h"

#include "protocol/Calibration.h"
#include "protocol/Commands.h"
#include "protocol/Numbers.h"
#include "ui/BusyCursor.h"
#include "ui/Controls.h"
#include "ui/HostLocale.h"
#include "ui/MessageBox.h"
#include "ui/OneShotTimer.h"
#include "ui/UpDown.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
#include <thread>

namespace zopra {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

long double NumberIn(const QLineEdit* edit) {
    return StrToFloat(edit->text().toStdString(), HostDecimalSeparator());
}

} // namespace

void TMainForm_::TSSettingChange() {
    const int unit = CoUnit->currentIndex();
    if (unit != 0 && unit != 1)
        return; // no column of defaults for a unit list without a selection
    const MachineSettings values = FRecord.Read();
    const AdjustPageDefaults d = MakeAdjustPageDefaults(unit == 1, values.FAASXOffset,
                                                        values.FAASYOffset, HostDecimalSeparator());
    EdAASII_X_Offset->setText(Text(d.adjustment));
    EdAASII_Y_Offset->setText(Text(d.adjustment));
    for (QLineEdit* sizeEdit : {EdTestDraw_X, EdTestDraw_Y, EdMeasure_x, EdMeasure_y})
        sizeEdit->setText(Text(d.testSize));
    LaAASII_X_Offset->setText(Text(d.aasX));
    LaAASII_Y_Offset->setText(Text(d.aasY));
}

void TMainForm_::BuScale1Click() {
    BuScale1->setEnabled(false);
    Timer3->start();
    SendCommand(kCmdTestSquare);
}

void TMainForm_::BuScale2Click() {
    BuScale2->setEnabled(false);
    Timer3->start();
    const long double testX = NumberIn(EdTestDraw_X);
    const long double testY = NumberIn(EdTestDraw_Y);
    const long double measuredX = NumberIn(EdMeasure_x);
    const long double measuredY = NumberIn(EdMeasure_y);
    if (!CalibrationSizesAccepted(testX, testY, measuredX, measuredY)) {
        ShowMessage(QString::fromLatin1(kCalibrationOutOfBandMessage));
        return;
    }
    SendCommand(kCmdCalibrate);
}

void TMainForm_::ShowSpinnerAdjustment(QLineEdit* edit, int position) {
    edit->setText(Text(AasStepText(position, HostDecimalSeparator())));
}

void TMainForm_::SpinnerAdjustmentToInches(QLineEdit* edit) {
    if (InchesSelected())
        edit->setText(
            Text(AasAdjustmentInInches(edit->text().toStdString(), HostDecimalSeparator())));
}

void TMainForm_::UpDown1ChangingEx(bool& /*allowChange*/, int newValue,
                                   UpDownDirection /*direction*/) {
    ShowSpinnerAdjustment(EdAASII_X_Offset, newValue);
}

void TMainForm_::UpDown2ChangingEx(bool& /*allowChange*/, int newValue,
                                   UpDownDirection /*direction*/) {
    ShowSpinnerAdjustment(EdAASII_Y_Offset, newValue);
}

void TMainForm_::UpDown1Click(UpDownButton /*button*/) {
    SpinnerAdjustmentToInches(EdAASII_X_Offset);
}

void TMainForm_::UpDown2Click(UpDownButton /*button*/) {
    SpinnerAdjustmentToInches(EdAASII_Y_Offset);
}

void TMainForm_::BuAASIIUpdateClick() {
    RequireAasOffsetsRead(FRecord.Read());
    // With no unit selected (a text typed into the unit list) the fields are in the unit the
    // window shows.
    const int unit = CoUnit->currentIndex();
    const bool inches = unit == 1 || (unit != 0 && FShownUnit == 1);
    const AasOffsetPair offsets = AdjustedAasOffsets(
        EdAASII_X_Offset->text().toStdString(), EdAASII_Y_Offset->text().toStdString(),
        LaAASII_X_Offset->text().toStdString(), LaAASII_Y_Offset->text().toStdString(), inches,
        HostDecimalSeparator());

    const std::vector<std::string> writes =
        AasOffsetWrites(static_cast<double>(offsets.x), static_cast<double>(offsets.y));
    AASOFFSET_outputevalue->setText(Text(writes.front()));
    for (const std::string& command : writes)
        WriteToLink(command);
    // Kept only once the cutter has been sent them: after a failed write the record (and the
    // labels a change of page shows) still hold what the cutter has.
    FRecord.Write([&](MachineSettings& values) {
        values.FAASXOffset = static_cast<double>(offsets.x);
        values.FAASYOffset = static_cast<double>(offsets.y);
    });

    BuAASIIUpdate->setEnabled(false);
    Timer3->start();
    PauseKeepingWindowPainted(kAasUpdatePause);
    BuConnectClick();
}

void TMainForm_::PauseKeepingWindowPainted(std::chrono::milliseconds pause) {
    const BusyCursor busy;
    // Timer3 was started just before: its tick, and any other, must come after the pause.
    const TimerTickHold hold{Timer1, Timer2, Timer3};
    const auto end = std::chrono::steady_clock::now() + pause;
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(10)));
    }
}

} // namespace zopra
