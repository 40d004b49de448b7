// The "Test Cut" page: cut a small pattern beside the last one, say what it looks like, and
// let the one change that fixes it (blade force or blade offset, from the guided fix's table)
// go out as the whole settings update, be read back and cut again, until the cut is clean.
#include "form/MainForm.h"

#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/SettingsPlan.h"

namespace zopra {

namespace {

// The steps the page has room for, newest last.
constexpr std::size_t kShownSteps = 5;

} // namespace

void TMainForm_::BuCutTestClick() {
    if (!FCutterRead) {
        Window.ShowMessage(MessageKind::Message, "No Machine Connected");
        return;
    }
    const std::optional<std::int32_t> side = CutSideFromField();
    if (!side)
        return;
    if (LadderChosen()) {
        if (const std::optional<Ladder> ladder = LadderFromFields())
            CutLadder(*ladder, *side,
                      LadderTitle(*ladder, InchesSelected(), Window.DecimalSeparator()));
        return;
    }
    const std::string size = InchesSelected()
                                 ? EdCutSize.Text() + " " + LaCutSizeUnit.Text()
                                 : TestCutSizeMm(*side, Window.DecimalSeparator()) + " mm";
    const MachineSettings held = FSession.Known().Now().values;
    settings::JournaledWrite journal = JournalWrite("Test cut " + size, held);
    CutTestPattern(*side);
    StatusLine.SetText("Test cut: " + size + " square beside the last one");
    journal.Done(ValuesOfCutter(held), false, "all written");
}

void TMainForm_::BuCutFixClick() {
    if (!FCutterRead) {
        Window.ShowMessage(MessageKind::Message, "No Machine Connected");
        return;
    }
    if (LadderChosen()) {
        FixFromLadder();
        return;
    }
    const int chosen = CBCutSeen.Position();
    if (chosen < 0 || chosen >= static_cast<int>(CutSeenEntries().size())) {
        StatusLine.SetText("Choose what you see on the test cut first; nothing was sent.");
        return;
    }
    const CutSeen seen = CutSeenEntries()[static_cast<std::size_t>(chosen)].seen;
    // The next cut's size is checked before anything is written: no change goes out that
    // is not followed by its cut. A clean cut needs none.
    const std::optional<std::int32_t> side =
        seen == CutSeen::Clean ? std::optional<std::int32_t>(0) : CutSideFromField();
    if (!side)
        return;
    // What the cutter holds, never the Setting page's edits: after an "Update" that was not
    // read back, the cutter is asked first.
    const MachineSettings before = CutterHolds();
    const std::optional<CutValues> now = CutValuesOf(before);
    if (!now) {
        Window.ShowMessage(MessageKind::Message,
                           "The cutter's blade force or blade offset is none of the values the "
                           "Setting page offers; choose them there and press Update first; "
                           "nothing was sent.");
        return;
    }

    if (FTuneEnded) {
        FTuneSteps.clear();
        FTuneEnded = false;
        LaCutOutcome.SetText("");
    }
    // The steps grow with the sights this loop has seen so far.
    const GuidedFix fix = GuideFix(seen, before.FModelName, *now, InchesSelected(),
                                   Window.DecimalSeparator(), FTuneSteps);
    FTuneSteps.push_back({*now, seen});
    ShowCutValues();
    switch (fix.kind) {
    case GuidedFix::Kind::Clean:
        // The loop ends here; the next "Fix and Cut Again" starts a new one.
        FTuneEnded = true;
        LaCutOutcome.SetText(fix.message);
        // The offer to keep what cut clean: a name is ready in the preset field, and "Save
        // As..." beside it saves under that name the settings that cut clean (the cutter's,
        // whatever the Setting page shows meanwhile).
        if (const std::optional<SettingsUpdate> clean = TuneSettingsUpdate(before, *now)) {
            FCleanOffer =
                CleanOffer{"Clean: " + LaCutForce.Text() + ", " + LaCutOffset.Text(), *clean};
            CBPreset.SetPosition(-1);
            CBPreset.SetText(FCleanOffer->name);
        }
        StatusLine.SetText(fix.message + " \"Save As...\" keeps them as a preset.");
        // Reached by a force step, the clean force may sit at the edge of the clean range:
        // the force ladder around it is ready to cut.
        if (fix.ladderOffer) {
            CBCutMode.SetPosition(1);
            ShowCutSizeDefault();
            ShowCutMode();
            ShowLadderRange(LadderKind::Force, fix.ladderOffer->from, fix.ladderOffer->to);
        }
        return;
    case GuidedFix::Kind::AtLimit:
        StatusLine.SetText(fix.message);
        Window.ShowMessage(MessageKind::Message, fix.message);
        return;
    case GuidedFix::Kind::Change:
        break;
    }
    const std::string note = UnwrittenEditsNote();
    if (!WriteAndReadBack(before, fix.next, "Test cut fix: " + std::string(EntryOf(seen).step)))
        return;
    CutTestPattern(*side);
    StatusLine.SetText(fix.message + " written and read back; cutting again" + note);
}

bool TMainForm_::WriteAndReadBack(const MachineSettings& before, const CutValues& next,
                                  const std::string& action) {
    const std::optional<SettingsUpdate> update = TuneSettingsUpdate(before, next);
    if (!update) {
        Window.ShowMessage(MessageKind::Message, kTuneUnwritableMessage);
        return false;
    }
    settings::JournaledWrite journal = JournalWrite(action, before);
    // The first write that fails ends the update with its reason and how far it got, and no
    // cut follows.
    WriteSettings(*update);
    SendCommand(kCmdReadParameters);
    WaitForReply();
    ReportUnreadableReply();
    journal.Done(ValuesOfCutter(settings::ValuesAfterUpdate(before, *update)),
                 ValuesOfCutter(FSession.Known().Now().values));

    // The Setting page shows what the cutter holds now, as after a read.
    const MachineSettings after = FSession.Known().Now().values;
    if (const std::optional<CutValues> held = CutValuesOf(after)) {
        SBForce.MoveTo(held->forceGrams);
        CBOffset.SetPosition(held->offsetIndex);
    }
    ShowCutValues();
    if (!ReadBackMatches(after, before.FModelName, next)) {
        const std::string text =
            ReadBackMismatchText(after, InchesSelected(), Window.DecimalSeparator());
        StatusLine.SetText(text);
        Window.ShowMessage(MessageKind::Message, text);
        return false;
    }
    return true;
}

void TMainForm_::CutTestPattern(std::int32_t side) {
    // One write, no reply awaited, as for the test square.
    WriteToLink(TestCutText(side));
    // What the user saw was the last cut; this one has not been looked at yet.
    CBCutSeen.SetPosition(-1);
}

void TMainForm_::ResetTuning() {
    FTuneSteps.clear();
    FTuneEnded = false;
    LaCutOutcome.SetText("");
    CBCutSeen.SetPosition(-1);
    // A strip's answers are about the cutter the strip was cut on.
    FLadder.reset();
    ShowLadderCells();
    EnableLadderControls();
    ShowCutValues();
}

std::string TMainForm_::CleanPresetName() const {
    const std::optional<CutValues> held =
        FCutterRead ? CutValuesOf(FSession.Known().Now().values) : std::nullopt;
    if (!held)
        return {};
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    return "Clean: " + CutForceText(held->forceGrams, inches, separator) + ", " +
           CutOffsetText(held->offsetIndex, inches, separator);
}

void TMainForm_::WithdrawStalePresetName() {
    if (!FCleanOffer || CleanPresetName() == FCleanOffer->name)
        return;
    // A name the user typed over the offer is theirs.
    if (CBPreset.Position() < 0 && CBPreset.Text() == FCleanOffer->name)
        CBPreset.SetText("");
    FCleanOffer.reset();
}

std::optional<std::int32_t> TMainForm_::CutSideFromField() {
    std::string problem;
    try {
        const std::int32_t side =
            TestCutSide(EdCutSize.Text(), InchesSelected(), Window.DecimalSeparator());
        LaCutSizeNote.SetText("");
        EdCutSize.SetMarked(false);
        return side;
    } catch (const ConversionError&) {
        problem =
            NotANumberText(Window.Label(ControlId::LaCutSizeCaption).Text(), EdCutSize.Text());
    } catch (const TestCutSizeError& error) {
        problem = error.what();
    }
    LaCutSizeNote.SetText(problem);
    EdCutSize.SetMarked(true);
    EdCutSize.Focus();
    StatusLine.SetText(problem);
    return std::nullopt;
}

void TMainForm_::EnableTestCutPage(bool enabled) {
    for (IControl* control : std::initializer_list<IControl*>{&EdCutSize, &BuCutTest, &CBCutSeen,
                                                              &BuCutFix, &CBCutMode})
        control->SetEnabled(enabled);
    // The first read of a model shows its whole range for the ladder chosen; later ones (the
    // buttons come back after every series) leave the range and a strip cut as they are.
    if (enabled && FRecord.Read().FModelName != FLadderRangeModel)
        ShowCutMode();
    EnableLadderControls();
    ShowCutValues();
}

void TMainForm_::ShowTestCutUnit() {
    const bool inches = InchesSelected();
    const int unit = inches ? 1 : 0;
    if (unit != FCutSizeUnit) {
        FCutSizeUnit = unit;
        // The size and the ladder's range at their defaults in the new unit.
        ShowCutSizeDefault();
        ShowCutMode();
        LaCutSizeNote.SetText("");
    }
    LaCutSizeUnit.SetText(LengthUnitName(inches));
    ShowCutValues();
}

void TMainForm_::ShowCutValues() {
    const bool inches = InchesSelected();
    const char separator = Window.DecimalSeparator();
    const std::optional<CutValues> now =
        FCutterRead ? CutValuesOf(FSession.Known().Now().values) : std::optional<CutValues>();
    LaCutForce.SetText(now ? CutForceText(now->forceGrams, inches, separator) : " ");
    LaCutOffset.SetText(now ? CutOffsetText(now->offsetIndex, inches, separator) : " ");

    ILabel* const lines[kShownSteps] = {&LaCutStep1, &LaCutStep2, &LaCutStep3, &LaCutStep4,
                                        &LaCutStep5};
    const std::size_t first = FTuneSteps.size() > kShownSteps ? FTuneSteps.size() - kShownSteps : 0;
    for (std::size_t line = 0; line < kShownSteps; ++line) {
        const std::size_t step = first + line;
        lines[line]->SetText(
            step < FTuneSteps.size()
                ? TuneStepText(static_cast<int>(step) + 1, FTuneSteps[step], inches, separator)
                : "");
    }
    WithdrawStalePresetName();
}

} // namespace zopra
