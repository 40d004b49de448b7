// The "Adjust" page: STEP1 plots the test square, STEP2 sends new scale factors computed
// from the measured square, the spinners and edits set an AAS adjustment, and "AASII Offset
// Update" sends the offsets and connects again to read them back. A change of page resets
// the page's fields.
#include "form/MainForm.h"

#include "protocol/Calibration.h"
#include "protocol/Commands.h"
#include "protocol/Numbers.h"

#include <algorithm>
#include <optional>
#include <thread>

namespace zopra {

void TMainForm_::TSSettingChange() {
    // The journal may have grown meanwhile, from this window or another program.
    ShowHistory();
    const int unit = CoUnit.Position();
    if (unit != 0 && unit != 1)
        return; // no column of defaults for a unit list without a selection
    const MachineSettings values = FRecord.Read();
    const AdjustPageDefaults d = MakeAdjustPageDefaults(
        unit == 1, values.FAASXOffset, values.FAASYOffset, Window.DecimalSeparator());
    EdAASII_X_Offset.SetText(d.adjustment);
    EdAASII_Y_Offset.SetText(d.adjustment);
    for (IEdit* sizeEdit : {&EdTestDraw_X, &EdTestDraw_Y, &EdMeasure_x, &EdMeasure_y})
        sizeEdit->SetText(d.testSize);
    for (IEdit* edit : {&EdTestDraw_X, &EdTestDraw_Y, &EdMeasure_x, &EdMeasure_y, &EdAASII_X_Offset,
                        &EdAASII_Y_Offset})
        edit->SetMarked(false);
    // Offsets that no completed read of this cutter gave stay unshown: they are not the
    // cutter's, and an update must not build on them.
    FAasOffsetsShown = FCutterRead && values.FAasOffsetsRead;
    LaAASII_X_Offset.SetText(FAasOffsetsShown ? d.aasX : " ");
    LaAASII_Y_Offset.SetText(FAasOffsetsShown ? d.aasY : " ");
}

void TMainForm_::BuScale1Click() {
    // A field that is no number is named and marked; nothing is sent, nothing is disabled.
    if (!NumberIn(EdTestDraw_X, "Test length (X)") || !NumberIn(EdTestDraw_Y, "Test width (Y)"))
        return;
    BuScale1.SetEnabled(false);
    Timer3.Start();
    const MachineSettings held = FSession.Known().Now().values;
    const std::string size =
        EdTestDraw_X.Text() + " x " + EdTestDraw_Y.Text() + " " + Label32.Text();
    settings::JournaledWrite journal = JournalWrite("Test square " + size, held);
    SendCommand(kCmdTestSquare);
    StatusLine.SetText("Test square plotted: " + size);
    journal.Done(ValuesOfCutter(held), false, "all written");
}

void TMainForm_::BuScale2Click() {
    const std::optional<long double> testX = NumberIn(EdTestDraw_X, "Test length (X)");
    const std::optional<long double> testY =
        testX ? NumberIn(EdTestDraw_Y, "Test width (Y)") : std::nullopt;
    const std::optional<long double> measuredX =
        testY ? NumberIn(EdMeasure_x, "Measured length (X)") : std::nullopt;
    const std::optional<long double> measuredY =
        measuredX ? NumberIn(EdMeasure_y, "Measured width (Y)") : std::nullopt;
    if (!measuredY)
        return;
    BuScale2.SetEnabled(false);
    Timer3.Start();
    if (!CalibrationSizesAccepted(*testX, *testY, *measuredX, *measuredY)) {
        Window.ShowMessage(MessageKind::Message, kCalibrationOutOfBandMessage);
        return;
    }
    const MachineSettings held = FSession.Known().Now().values;
    settings::JournaledWrite journal = JournalWrite("Calibrate " + EdMeasure_x.Text() + " x " +
                                                        EdMeasure_y.Text() + " " + Label32.Text(),
                                                    held);
    SendCommand(kCmdCalibrate);
    const MachineSettings sent = FRecord.Read();
    StatusLine.SetText("Scale factors sent: X " + FormatGeneral(sent.FXScale) + ", Y " +
                       FormatGeneral(sent.FYScale));
    // The calibration block is not read back: the entry holds the factors it wrote.
    MachineSettings written = held;
    written.FXScale = sent.FXScale;
    written.FYScale = sent.FYScale;
    journal.Done(ValuesOfCutter(written), false, "all written");
}

void TMainForm_::ShowSpinnerAdjustment(IEdit& edit, int position) {
    edit.SetText(AasStepText(position, Window.DecimalSeparator()));
}

void TMainForm_::SpinnerAdjustmentToInches(IEdit& edit) {
    if (InchesSelected())
        edit.SetText(AasAdjustmentInInches(edit.Text(), Window.DecimalSeparator()));
}

void TMainForm_::ResetAasAdjustments() {
    const MachineSettings values = FRecord.Read();
    const AdjustPageDefaults d = MakeAdjustPageDefaults(
        InchesSelected(), values.FAASXOffset, values.FAASYOffset, Window.DecimalSeparator());
    EdAASII_X_Offset.SetText(d.adjustment);
    EdAASII_Y_Offset.SetText(d.adjustment);
    UpDown1.SetPosition(0);
    UpDown2.SetPosition(0);
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
    // Only offsets that a completed read put into the labels are added to: a reply that came
    // after its display tick never made it there.
    MachineSettings current = FRecord.Read();
    current.FAasOffsetsRead = current.FAasOffsetsRead && FAasOffsetsShown;
    RequireAasOffsetsRead(current);
    if (!NumberIn(EdAASII_X_Offset, "AAS X adjustment") ||
        !NumberIn(EdAASII_Y_Offset, "AAS Y adjustment"))
        return;
    const bool inches = InchesSelected();
    const AasOffsetPair offsets = AdjustedAasOffsets(
        EdAASII_X_Offset.Text(), EdAASII_Y_Offset.Text(), LaAASII_X_Offset.Text(),
        LaAASII_Y_Offset.Text(), inches, Window.DecimalSeparator());

    const std::vector<std::string> writes =
        AasOffsetWrites(static_cast<double>(offsets.x), static_cast<double>(offsets.y));
    AASOFFSET_outputevalue.SetText(writes.front());
    StatusLine.SetText("Writing the AAS offsets; reading them back in 2 s...");
    const MachineSettings held = FSession.Known().Now().values;
    settings::JournaledWrite journal =
        JournalWrite("AAS offsets " + EdAASII_X_Offset.Text() + ", " + EdAASII_Y_Offset.Text() +
                         " " + Label32.Text(),
                     held);
    for (const std::string& command : writes)
        WriteToLink(command);
    // The reconnect reads them back; the entry holds what was written.
    MachineSettings written = held;
    written.FAASXOffset = static_cast<double>(offsets.x);
    written.FAASYOffset = static_cast<double>(offsets.y);
    journal.Done(ValuesOfCutter(written), false, "all written");
    // Kept only once the cutter has been sent them: after a failed write the record (and the
    // labels a change of page shows) still hold what the cutter has.
    FRecord.Write([&](MachineSettings& values) {
        values.FAASXOffset = static_cast<double>(offsets.x);
        values.FAASYOffset = static_cast<double>(offsets.y);
    });
    // The adjustment is in the cutter now: pressing again must not add it a second time.
    ResetAasAdjustments();

    BuAASIIUpdate.SetEnabled(false);
    Timer3.Start();
    PauseKeepingWindowPainted(kAasUpdatePause);
    BuConnectClick();
    // The reconnect's offset display names what the cutter holds now.
    FAasUpdateReadBack = true;
}

void TMainForm_::PauseKeepingWindowPainted(std::chrono::milliseconds pause) {
    const Wait wait(*this);
    // Timer3 was started just before: its tick, and any other, must come after the pause.
    const TimerTickHold hold{&Timer1, &Timer2, &Timer3};
    const auto end = std::chrono::steady_clock::now() + pause;
    for (auto now = std::chrono::steady_clock::now(); now < end;
         now = std::chrono::steady_clock::now()) {
        Window.ProcessPendingEvents();
        EndWaitIfClosing();
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            end - now, std::chrono::milliseconds(10)));
    }
}

} // namespace zopra
