// The form's construction, its handler connections and first show, and its protocol side:
// the dispatcher's commands and the raw writes, with what the page fields give them.
#include "form/MainForm.h"

#include "form/EventGuard.h"
#include "protocol/Calibration.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"

#include <chrono>
#include <thread>
#include <utility>

namespace zopra {

TMainForm_* MainForm_ = nullptr;

TMainForm_::TMainForm_(IFormWindow& window)
    : TMainForm_(window, std::make_unique<CutterConnections>()) {}

TMainForm_::TMainForm_(IFormWindow& window, std::unique_ptr<CutterConnections> links,
                       std::unique_ptr<platform::LastPortStore> lastPort,
                       settings::PresetStore presets)
    : Window(window), CBConnects(window.List(ControlId::CBConnects)),
      BuConnect(window.Button(ControlId::BuConnect)), Label1(window.Label(ControlId::Label1)),
      LaMName(window.Label(ControlId::LaMName)), Label2(window.Label(ControlId::Label2)),
      LaVer(window.Label(ControlId::LaVer)), TSSetting(window.Tabs(ControlId::TSSetting)),
      Label3(window.Label(ControlId::Label3)), LaLength(window.Label(ControlId::LaLength)),
      Label20(window.Label(ControlId::Label20)), Label4(window.Label(ControlId::Label4)),
      LaWidth(window.Label(ControlId::LaWidth)), Label21(window.Label(ControlId::Label21)),
      Label5(window.Label(ControlId::Label5)), LaForce(window.Label(ControlId::LaForce)),
      Label28(window.Label(ControlId::Label28)), SBForce(window.ScrollBar(ControlId::SBForce)),
      Label39(window.Label(ControlId::Label39)),
      CBBladeHolder(window.List(ControlId::CBBladeHolder)), Label7(window.Label(ControlId::Label7)),
      CBOffset(window.List(ControlId::CBOffset)), Label29(window.Label(ControlId::Label29)),
      Label9(window.Label(ControlId::Label9)), CBMedia(window.List(ControlId::CBMedia)),
      Label6(window.Label(ControlId::Label6)), CBWeight(window.List(ControlId::CBWeight)),
      Label8(window.Label(ControlId::Label8)), CBUnroll(window.List(ControlId::CBUnroll)),
      Label10(window.Label(ControlId::Label10)), CBAccel(window.List(ControlId::CBAccel)),
      Label11(window.Label(ControlId::Label11)), CBSmooth(window.List(ControlId::CBSmooth)),
      Label37(window.Label(ControlId::Label37)), CoUnit(window.List(ControlId::CoUnit)),
      BuUpdate(window.Button(ControlId::BuUpdate)), BuQuery(window.Button(ControlId::BuQuery)),
      BuSaveFile(window.Button(ControlId::BuSaveFile)),
      BuLoadFile(window.Button(ControlId::BuLoadFile)), Label40(window.Label(ControlId::Label40)),
      CBPreset(window.List(ControlId::CBPreset)),
      BuApplyPreset(window.Button(ControlId::BuApplyPreset)),
      BuSavePreset(window.Button(ControlId::BuSavePreset)),
      EdTestDraw_X(window.Edit(ControlId::EdTestDraw_X)), Label32(window.Label(ControlId::Label32)),
      EdTestDraw_Y(window.Edit(ControlId::EdTestDraw_Y)), Label33(window.Label(ControlId::Label33)),
      BuScale1(window.Button(ControlId::BuScale1)),
      EdMeasure_x(window.Edit(ControlId::EdMeasure_x)), Label18(window.Label(ControlId::Label18)),
      EdMeasure_y(window.Edit(ControlId::EdMeasure_y)), Label35(window.Label(ControlId::Label35)),
      BuScale2(window.Button(ControlId::BuScale2)),
      LaAASII_X_Offset(window.Label(ControlId::LaAASII_X_Offset)),
      EdAASII_X_Offset(window.Edit(ControlId::EdAASII_X_Offset)),
      UpDown1(window.UpDown(ControlId::UpDown1)), Label27(window.Label(ControlId::Label27)),
      LaAASII_Y_Offset(window.Label(ControlId::LaAASII_Y_Offset)),
      EdAASII_Y_Offset(window.Edit(ControlId::EdAASII_Y_Offset)),
      UpDown2(window.UpDown(ControlId::UpDown2)), Label26(window.Label(ControlId::Label26)),
      BuAASIIUpdate(window.Button(ControlId::BuAASIIUpdate)),
      LaCName(window.Label(ControlId::LaCName)), LaDate(window.Label(ControlId::LaDate)),
      LaTime(window.Label(ControlId::LaTime)), LaOffset(window.Label(ControlId::LaOffset)),
      LaMedia(window.Label(ControlId::LaMedia)), LaWeight(window.Label(ControlId::LaWeight)),
      LaUnroll(window.Label(ControlId::LaUnroll)), LaAccel(window.Label(ControlId::LaAccel)),
      LaSmooth(window.Label(ControlId::LaSmooth)), LaXScale(window.Label(ControlId::LaXScale)),
      LaYScale(window.Label(ControlId::LaYScale)), LaSpeed(window.Label(ControlId::LaSpeed)),
      SBSpeed(window.ScrollBar(ControlId::SBSpeed)),
      SBOffset(window.ScrollBar(ControlId::SBOffset)),
      AASOFFSET_outputevalue(window.Label(ControlId::AASOFFSET_outputevalue)),
      StatusConnection(window.Label(ControlId::StatusConnection)),
      StatusLine(window.Label(ControlId::StatusLine)), BuWhy(window.Button(ControlId::BuWhy)),
      BuSaveReport(window.Button(ControlId::BuSaveReport)), Timer1(window, ControlId::Timer1),
      Timer2(window, ControlId::Timer2), Timer3(window, ControlId::Timer3),
      FSession(std::move(links)), FLastPort(std::move(lastPort)), FPresets(std::move(presets)),
      EdCutSize(window.Edit(ControlId::EdCutSize)),
      LaCutSizeUnit(window.Label(ControlId::LaCutSizeUnit)),
      BuCutTest(window.Button(ControlId::BuCutTest)),
      LaCutSizeNote(window.Label(ControlId::LaCutSizeNote)),
      CBCutSeen(window.List(ControlId::CBCutSeen)), BuCutFix(window.Button(ControlId::BuCutFix)),
      LaCutForce(window.Label(ControlId::LaCutForce)),
      LaCutOffset(window.Label(ControlId::LaCutOffset)),
      LaCutStep1(window.Label(ControlId::LaCutStep1)),
      LaCutStep2(window.Label(ControlId::LaCutStep2)),
      LaCutStep3(window.Label(ControlId::LaCutStep3)),
      LaCutStep4(window.Label(ControlId::LaCutStep4)),
      LaCutStep5(window.Label(ControlId::LaCutStep5)),
      LaCutOutcome(window.Label(ControlId::LaCutOutcome)),
      CBCutMode(window.List(ControlId::CBCutMode)),
      EdLadderFrom(window.Edit(ControlId::EdLadderFrom)),
      EdLadderTo(window.Edit(ControlId::EdLadderTo)),
      LaLadderUnit(window.Label(ControlId::LaLadderUnit)),
      CBLadderCells(window.List(ControlId::CBLadderCells)),
      FLadderCells{
          &window.Label(ControlId::LaLadderCell1), &window.Label(ControlId::LaLadderCell2),
          &window.Label(ControlId::LaLadderCell3), &window.Label(ControlId::LaLadderCell4),
          &window.Label(ControlId::LaLadderCell5), &window.Label(ControlId::LaLadderCell6),
          &window.Label(ControlId::LaLadderCell7), &window.Label(ControlId::LaLadderCell8)},
      FLadderSeen{&window.List(ControlId::CBLadderSeen1), &window.List(ControlId::CBLadderSeen2),
                  &window.List(ControlId::CBLadderSeen3), &window.List(ControlId::CBLadderSeen4),
                  &window.List(ControlId::CBLadderSeen5), &window.List(ControlId::CBLadderSeen6),
                  &window.List(ControlId::CBLadderSeen7), &window.List(ControlId::CBLadderSeen8)},
      LaHistory1(window.Label(ControlId::LaHistory1)),
      LaHistory2(window.Label(ControlId::LaHistory2)),
      LaHistory3(window.Label(ControlId::LaHistory3)),
      LaHistory4(window.Label(ControlId::LaHistory4)),
      LaHistory5(window.Label(ControlId::LaHistory5)),
      LaHistory6(window.Label(ControlId::LaHistory6)),
      LaHistory7(window.Label(ControlId::LaHistory7)),
      LaHistory8(window.Label(ControlId::LaHistory8)),
      LaHistory9(window.Label(ControlId::LaHistory9)),
      LaHistory10(window.Label(ControlId::LaHistory10)),
      LaHistory11(window.Label(ControlId::LaHistory11)),
      LaHistory12(window.Label(ControlId::LaHistory12)),
      CBHistory(window.List(ControlId::CBHistory)), BuUndo(window.Button(ControlId::BuUndo)),
      // Beside the presets, in the same folder and under the same lock.
      FJournal(FPresets.File().parent_path()) {
    ConnectHandlers();

    // While a query waits for its reply the window repaints, but no click or key can start
    // a second command series in the middle of this one.
    FSession.Dispatcher().SetWaitHook([this](std::chrono::milliseconds step) {
        Window.ProcessPendingEvents();
        EndWaitIfClosing();
        std::this_thread::sleep_for(step);
    });
    // Comm events reach the serial component's handler on the interface thread.
    FLinks->Comm2().SetInterfaceInvoker(
        [this](std::function<void()> task) { Window.PostToInterfaceThread(std::move(task)); });

    // The length units start in millimetres; unit switching changes them later.
    for (ILabel* unitLabel :
         {&Label20, &Label21, &Label29, &Label32, &Label33, &Label18, &Label35, &Label27, &Label26})
        unitLabel->SetText("mm");
}

TMainForm_::~TMainForm_() {
    // The controls outlive the form: nothing may reach its handlers any more.
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        switch (layoutRow.kind) {
        case ControlKind::Button:
            Window.Button(layoutRow.id).OnClick(nullptr);
            break;
        case ControlKind::List:
            Window.List(layoutRow.id).OnDropDown(nullptr);
            Window.List(layoutRow.id).OnChange(nullptr);
            break;
        case ControlKind::ScrollBar:
            Window.ScrollBar(layoutRow.id).OnChange(nullptr);
            break;
        case ControlKind::UpDown:
            Window.UpDown(layoutRow.id).OnChanging(nullptr);
            Window.UpDown(layoutRow.id).OnClick(nullptr);
            break;
        case ControlKind::Tabs:
            Window.Tabs(layoutRow.id).OnChange(nullptr);
            break;
        default:
            break;
        }
    }
    Window.OnShow(nullptr);
    Window.OnCloseQuery(nullptr);
}

template <typename Handler> void TMainForm_::Guarded(Handler&& handler) {
    if (FCloseRequested)
        return;
    RunGuarded(Window, std::forward<Handler>(handler));
    if (FCloseRequested && FWaits == 0)
        Window.CloseWindow();
}

bool TMainForm_::FormCloseQuery() {
    if (FWaits == 0)
        return true;
    FCloseRequested = true;
    return false;
}

void TMainForm_::EndWaitIfClosing() const {
    if (FCloseRequested)
        throw WindowClosing();
}

void TMainForm_::ConnectHandlers() {
    // Every event runs its handler inside the guard; a handler that calls another directly
    // lets that one's error end the whole chain, reported once.
    // The failure is named in the status line too, where it stays after the box is gone.
    const auto guarded = [this](void (TMainForm_::*handler)()) {
        return [this, handler] {
            Guarded([&] {
                try {
                    (this->*handler)();
                } catch (const std::exception& error) {
                    StatusLine.SetText(std::string("Failed: ") + error.what());
                    throw;
                }
            });
        };
    };
    CBConnects.OnDropDown(guarded(&TMainForm_::CBConnectsDropDown));
    CBConnects.OnChange(guarded(&TMainForm_::CBConnectsChange));
    BuConnect.OnClick(guarded(&TMainForm_::BuConnectClick));

    Timer1.OnTick(guarded(&TMainForm_::Timer1Timer));
    Timer2.OnTick(guarded(&TMainForm_::Timer2Timer));
    Timer3.OnTick(guarded(&TMainForm_::Timer3Timer));

    BuQuery.OnClick(guarded(&TMainForm_::BuQueryClick));
    BuUpdate.OnClick(guarded(&TMainForm_::BuUpdateClick));
    SBForce.OnChange(guarded(&TMainForm_::SBForceChange));
    CBOffset.OnChange(guarded(&TMainForm_::CBOffsetChange));
    SBSpeed.OnChange(guarded(&TMainForm_::SBSpeedChange));
    SBOffset.OnChange(guarded(&TMainForm_::SBOffsetChange));
    CoUnit.OnChange(guarded(&TMainForm_::CoUnitChange));
    BuSaveFile.OnClick(guarded(&TMainForm_::BuSaveFileClick));
    BuLoadFile.OnClick(guarded(&TMainForm_::BuLoadFileClick));
    CBPreset.OnDropDown(guarded(&TMainForm_::CBPresetDropDown));
    BuApplyPreset.OnClick(guarded(&TMainForm_::BuApplyPresetClick));
    BuSavePreset.OnClick(guarded(&TMainForm_::BuSavePresetClick));

    TSSetting.OnChange(guarded(&TMainForm_::TSSettingChange));
    BuScale1.OnClick(guarded(&TMainForm_::BuScale1Click));
    BuScale2.OnClick(guarded(&TMainForm_::BuScale2Click));
    BuAASIIUpdate.OnClick(guarded(&TMainForm_::BuAASIIUpdateClick));
    BuWhy.OnClick(guarded(&TMainForm_::BuWhyClick));
    BuSaveReport.OnClick(guarded(&TMainForm_::BuSaveReportClick));
    UpDown1.OnChanging([this](bool& allow, int position, UpDownDirection direction) {
        Guarded([&] { UpDown1ChangingEx(allow, position, direction); });
    });
    UpDown2.OnChanging([this](bool& allow, int position, UpDownDirection direction) {
        Guarded([&] { UpDown2ChangingEx(allow, position, direction); });
    });
    UpDown1.OnClick([this](UpDownButton button) { Guarded([&] { UpDown1Click(button); }); });
    UpDown2.OnClick([this](UpDownButton button) { Guarded([&] { UpDown2Click(button); }); });

    BuCutTest.OnClick(guarded(&TMainForm_::BuCutTestClick));
    BuCutFix.OnClick(guarded(&TMainForm_::BuCutFixClick));
    CBCutMode.OnChange(guarded(&TMainForm_::CBCutModeChange));
    BuUndo.OnClick(guarded(&TMainForm_::BuUndoClick));

    Window.OnShow(guarded(&TMainForm_::FormShow));
    Window.OnCloseQuery([this] { return FormCloseQuery(); });
}

void TMainForm_::FormShow() {
    const char separator = Window.DecimalSeparator();
    // Blade offsets in millimetres, the positions the cutter's offset setting counts.
    for (const std::string& entry : BladeOffsetEntries(false, separator))
        CBOffset.AddEntry(entry);
    CBOffset.SetPosition(-1);

    const AdjustPageDefaults defaults = MakeAdjustPageDefaults(false, 0, 0, separator);
    for (IEdit* sizeEdit : {&EdTestDraw_X, &EdTestDraw_Y, &EdMeasure_x, &EdMeasure_y})
        sizeEdit->SetText(defaults.testSize);
    EdAASII_X_Offset.SetText(defaults.adjustment);
    EdAASII_Y_Offset.SetText(defaults.adjustment);
    ShowTestCutUnit();
}

// The protocol side of the window.

void TMainForm_::SendCommand(CommandCode code) {
    // The dispatcher waits here for the reply before (and after) the command goes out.
    const Wait wait(*this);
    // The query a failed wait was for: the one still unanswered, else this one.
    const CommandCode unanswered = FRecord.FWaitingReply.load(std::memory_order_acquire) != 0
                                       ? FRecord.FPendingCommand.load(std::memory_order_acquire)
                                       : code;
    try {
        FSession.SendCommand(code, CurrentCommandInputs());
    } catch (const LinkWriteError& error) {
        ForgetCutter();
        NoteFailure({LinkFailure::Kind::Other, error.what(), ChosenPort(), {}});
        throw;
    } catch (const NoAnswerError& error) {
        ForgetCutter();
        ThrowNoAnswer(error, unanswered);
    }
}

void TMainForm_::WaitForReply() {
    const Wait wait(*this);
    const CommandCode pending = FRecord.FPendingCommand.load(std::memory_order_acquire);
    try {
        FSession.Dispatcher().WaitForReply();
    } catch (const NoAnswerError& error) {
        ForgetCutter();
        ThrowNoAnswer(error, pending);
    }
}

void TMainForm_::ThrowNoAnswer(const NoAnswerError& error, CommandCode query) {
    const bool lost = dynamic_cast<const ConnectionLostError*>(&error) != nullptr;
    OfferWhy({lost ? LinkFailure::Kind::ConnectionLost : LinkFailure::Kind::NoAnswer, error.what(),
              ChosenPort(), QueryText(query)});
    if (lost)
        throw error;
    throw NoAnswerError(std::string(error.what()) + " " + kConnectAdvice);
}

std::optional<long double> TMainForm_::NumberIn(IEdit& field, const char* name) {
    try {
        const long double value = StrToFloat(field.Text(), Window.DecimalSeparator());
        field.SetMarked(false);
        return value;
    } catch (const ConversionError&) {
        field.SetMarked(true);
        field.Focus();
        StatusLine.SetText(NotANumberText(name, field.Text()));
        return std::nullopt;
    }
}

std::string NotANumberText(const std::string& fieldName, const std::string& text) {
    return fieldName + ": '" + text + "' is not a number";
}

void TMainForm_::WriteToLink(const std::string& bytes) {
    // The serial link pauses after every write.
    const Wait wait(*this);
    if (const LinkWriteResult written = FSession.WriteToLink(bytes); !written) {
        ForgetCutter();
        const LinkWriteError error(written.reason);
        NoteFailure({LinkFailure::Kind::Other, error.what(), ChosenPort(), {}});
        throw error;
    }
}

bool TMainForm_::InchesSelected() const {
    return CoUnit.Position() == 1;
}

CommandInputs TMainForm_::CurrentCommandInputs() const {
    return {EdTestDraw_X.Text(), EdTestDraw_Y.Text(), EdMeasure_x.Text(),
            EdMeasure_y.Text(),  InchesSelected(),    Window.DecimalSeparator()};
}

void TMainForm_::ReportUnreadableReply() {
    const std::optional<ReplyFailure> failure = FSession.TakeUnreadableReply();
    if (failure)
        Window.ShowMessage(MessageKind::Message,
                           "The machine sent a reply that could not be read: " + failure->reply);
}

} // namespace zopra
