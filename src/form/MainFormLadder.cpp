// The "Test Cut" page's ladders: a strip of cells side by side, each cut with its own blade
// force or blade offset, the cutter's values from before written back after it; one answer
// per cell, and "Fix and Cut Again" writes what the planner chose and cuts a test beside the
// strip, or cuts the next strip.
#include "form/MainForm.h"

#include "protocol/ModelRules.h"
#include "protocol/ParameterDisplay.h"

namespace zopra {

namespace {

constexpr int kOneCut = 0;
constexpr int kForceLadder = 1;
constexpr int kOffsetLadder = 2;

} // namespace

void TMainForm_::CBCutModeChange() {
    ShowCutSizeDefault();
    ShowCutMode();
    StatusLine.SetText("");
}

void TMainForm_::ShowCutSizeDefault() {
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    EdCutSize.SetText(LadderChosen() ? LadderDefaultSize(inches, separator)
                                     : TestCutDefaultSize(inches, separator));
    EdCutSize.SetMarked(false);
}

std::optional<LadderKind> TMainForm_::LadderChosen() const {
    switch (CBCutMode.Position()) {
    case kForceLadder:
        return LadderKind::Force;
    case kOffsetLadder:
        return LadderKind::Offset;
    default:
        return std::nullopt;
    }
}

void TMainForm_::ShowCutMode() {
    const std::optional<LadderKind> kind = LadderChosen();
    FLadderRangeModel = FRecord.Read().FModelName;
    CBCutSeen.SetVisible(!kind);
    for (ILabel* step : {&LaCutStep1, &LaCutStep2, &LaCutStep3, &LaCutStep4, &LaCutStep5,
                         &Window.Label(ControlId::LaCutStepsCaption)})
        step->SetVisible(!kind);
    if (kind == LadderKind::Force)
        ShowLadderRange(LadderKind::Force, kForcePositionMinimum,
                        RulesForModel(FRecord.Read().FModelName).forceMaximum);
    else if (kind == LadderKind::Offset)
        ShowLadderRange(LadderKind::Offset, 0,
                        static_cast<std::int32_t>(kBladeOffsetEntries.size()) - 1);
    FLadder.reset();
    ShowLadderCells();
    EnableLadderControls();
    ShowCutValues();
}

void TMainForm_::EnableLadderControls() {
    const std::optional<LadderKind> kind = LadderChosen();
    const bool ladder = FCutterRead && kind;
    EdLadderFrom.SetEnabled(ladder);
    EdLadderTo.SetEnabled(ladder);
    // An offset ladder has one cell per entry of its range.
    CBLadderCells.SetEnabled(ladder && kind == LadderKind::Force);
    for (IList* seen : FLadderSeen)
        seen->SetEnabled(ladder && FLadder);
}

void TMainForm_::ShowLadderRange(LadderKind kind, std::int32_t from, std::int32_t to) {
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    EdLadderFrom.SetText(LadderEndText(kind, from, inches, separator));
    EdLadderTo.SetText(LadderEndText(kind, to, inches, separator));
    EdLadderFrom.SetMarked(false);
    EdLadderTo.SetMarked(false);
    LaLadderUnit.SetText(kind == LadderKind::Force ? ForceUnitName(inches)
                                                   : LengthUnitName(inches));
    if (kind == LadderKind::Offset)
        CBLadderCells.SetPosition(to - from + 1 - kLadderCellsMinimum);
}

std::optional<Ladder> TMainForm_::LadderFromFields() {
    const LadderKind kind = *LadderChosen();
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    const auto end = [&](IEdit& field) {
        const std::optional<std::int32_t> value =
            LadderEndFromText(kind, field.Text(), inches, separator);
        field.SetMarked(!value);
        return value;
    };
    const std::optional<std::int32_t> from = end(EdLadderFrom);
    const std::optional<std::int32_t> to = end(EdLadderTo);
    std::string problem;
    if (!from || !to) {
        problem = kind == LadderKind::Force
                      ? std::string("The ladder's range is two forces in ") +
                            (inches ? "ounces" : "whole grams") + "; nothing was sent."
                      : "The ladder's range is two entries of the blade offset list; nothing "
                        "was sent.";
    } else {
        try {
            if (kind == LadderKind::Force)
                return ForceLadder(FRecord.Read().FModelName, *from, *to,
                                   CBLadderCells.Position() + kLadderCellsMinimum);
            return OffsetLadder(*from, *to);
        } catch (const LadderError& error) {
            problem = error.what();
        }
    }
    StatusLine.SetText(problem);
    Window.ShowMessage(MessageKind::Message, problem);
    return std::nullopt;
}

void TMainForm_::CutLadder(const Ladder& ladder, std::int32_t side, const std::string& action) {
    // What the cutter holds, never the Setting page's edits: these are written back after.
    const MachineSettings before = CutterHolds();
    const std::optional<CutValues> held = CutValuesOf(before);
    const std::optional<LadderStrip> strip =
        held ? MakeLadderStrip(before, ladder, side) : std::nullopt;
    if (!strip) {
        Window.ShowMessage(MessageKind::Message, kTuneUnwritableMessage);
        return;
    }
    FLadder.reset();
    settings::JournaledWrite journal = JournalWrite(action, before);
    const StripRun run = CutLadderStrip(*strip, [this](const std::string& bytes) {
        // The serial link pauses after every write.
        const Wait wait(*this);
        return FSession.WriteToLink(bytes);
    });
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    if (!run.restoreWritten) {
        // What the cutter holds is unknown now: nothing may write until it is read again.
        ForgetCutter();
        const std::string text = StripFailureText(run, ladder.cells.size());
        StatusLine.SetText(text);
        Window.ShowMessage(MessageKind::Message, text);
        return;
    }
    SendCommand(kCmdReadParameters);
    WaitForReply();
    ReportUnreadableReply();
    const MachineSettings after = FSession.Known().Now().values;
    // The strip means to leave the cutter as it was.
    journal.Done(ValuesOfCutter(before), ValuesOfCutter(after));
    ShowCutValues();
    std::string problem;
    if (run.failure)
        problem = StripFailureText(run, ladder.cells.size());
    else if (!ReadBackMatches(after, before.FModelName, *held))
        problem = RestoreMismatchText(after, inches, separator);
    if (!problem.empty()) {
        StatusLine.SetText(problem);
        Window.ShowMessage(MessageKind::Message, problem);
        return;
    }
    FLadder = ladder;
    ShowLadderCells();
    EnableLadderControls();
    LaCutOutcome.SetText("");
    StatusLine.SetText(LadderTitle(ladder, inches, separator) +
                       " cut: " + LadderMapText(ladder, inches, separator) +
                       ". Say what each cell shows, then \"Fix and Cut Again\".");
}

void TMainForm_::FixFromLadder() {
    if (!FLadder) {
        StatusLine.SetText("Cut a ladder first (\"Cut Test\"); nothing was sent.");
        return;
    }
    const Ladder strip = *FLadder;
    std::vector<CellSeen> seen;
    for (std::size_t cell = 0; cell < strip.cells.size(); ++cell) {
        const int position = FLadderSeen[cell]->Position();
        if (position < 0) {
            StatusLine.SetText("Say what cell " + std::to_string(cell + 1) +
                               " shows first; nothing was sent.");
            return;
        }
        seen.push_back(CellSeenEntries(strip.kind).at(static_cast<std::size_t>(position)).seen);
    }
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    const MachineSettings before = CutterHolds();
    const LadderPlan plan = PlanLadder(strip, seen, before.FModelName, inches, separator);
    if (plan.kind == LadderPlan::Kind::AtLimit) {
        StatusLine.SetText(plan.message);
        Window.ShowMessage(MessageKind::Message, plan.message);
        return;
    }
    // Both ways cut next: the size is checked before anything is written.
    const std::optional<std::int32_t> side = CutSideFromField();
    if (!side)
        return;
    const std::string answer = LadderAnswerText(plan, strip, inches, separator);
    LaCutOutcome.SetText(answer);
    if (plan.kind == LadderPlan::Kind::NextStrip) {
        ShowLadderRange(strip.kind, plan.next.cells.front(), plan.next.cells.back());
        CutLadder(plan.next, *side, answer);
        return;
    }
    const std::optional<CutValues> now = CutValuesOf(before);
    if (!now) {
        Window.ShowMessage(MessageKind::Message, kTuneUnwritableMessage);
        return;
    }
    if (!WriteAndReadBack(before, CellValues(Ladder{strip.kind, {plan.value}}, 0, *now), answer))
        return;
    FLadder.reset();
    EnableLadderControls();
    CutTestPattern(*side);
    StatusLine.SetText(plan.message + " written and read back; a test cut beside the strip");
}

void TMainForm_::ShowLadderCells() {
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    for (std::size_t cell = 0; cell < FLadderCells.size(); ++cell) {
        const bool shown = FLadder && cell < FLadder->cells.size();
        FLadderCells[cell]->SetVisible(shown);
        FLadderSeen[cell]->SetVisible(shown);
        FLadderSeen[cell]->Clear();
        FLadderCells[cell]->SetText(shown ? std::to_string(cell + 1) + ": " +
                                                LadderCellText(*FLadder, cell, inches, separator)
                                          : "");
        if (shown)
            for (const CellSeenEntry& entry : CellSeenEntries(FLadder->kind))
                FLadderSeen[cell]->AddEntry(std::string(entry.caption));
    }
}

} // namespace zopra
