// The "History" page, and what every write of the window shares: the cutter's values as
// known (read first where a write was not read back), the journal entry of each write, and
// the Setting page's edits that a whole update leaves out.
#include "form/MainForm.h"

#include "protocol/ModelRules.h"
#include "settings/BackupDocument.h"
#include "settings/InputError.h"
#include "settings/SettingsPlan.h"

namespace zopra {

namespace {

// The page's lines, newest first.
constexpr std::size_t kHistoryLines = 12;

std::string Lines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\n" + line;
    return text;
}

} // namespace

MachineSettings TMainForm_::CutterHolds() {
    const std::vector<CommandCode> reads = FSession.Known().ReadsToConfirm();
    if (!reads.empty()) {
        StatusLine.SetText("Reading what the cutter holds...");
        for (const CommandCode code : reads)
            SendCommand(code);
        WaitForReply();
        ReportUnreadableReply();
    }
    return FSession.Known().Now().values;
}

MachineSettings TMainForm_::ReadWholeCutter() {
    std::vector<CommandCode> reads = {kCmdReadParameters, kCmdReadScale};
    if (ConnectionReadsBladeHolder())
        reads.push_back(kCmdReadBladeHolder);
    if (HasAasOffsets(FSession.Known().Now().values.FModelName))
        reads.push_back(kCmdReadAasOffsets);
    for (const CommandCode code : reads)
        SendCommand(code);
    WaitForReply();
    ReportUnreadableReply();
    return FSession.Known().Now().values;
}

settings::CutterValues TMainForm_::ValuesOfCutter(const MachineSettings& values) const {
    return {values, ConnectionReadsBladeHolder(),
            values.FAasOffsetsRead && HasAasOffsets(values.FModelName)};
}

settings::JournaledWrite TMainForm_::JournalWrite(const std::string& action,
                                                  const MachineSettings& before) {
    // A journal that cannot be written stops nothing; the status line says so after the
    // workflow's own outcome.
    return settings::JournaledWrite(FJournal, FSession, ValuesOfCutter(before), ChosenPort(),
                                    action, [this](const std::string& problem) {
                                        StatusLine.SetText(StatusLine.Text() + " " + problem);
                                    });
}

std::string TMainForm_::UnwrittenEditsNote() const {
    // An edit is unwritten while the page differs from what the last read or update left.
    if (!FSettingsRead)
        return {};
    SettingsUpdate page = PageSettings();
    // A list without a choice is no edit.
    const SettingsUpdate& written = *FSettingsRead;
    for (auto [shown, held] : {std::pair{&page.offsetIndex, written.offsetIndex},
                               {&page.weightIndex, written.weightIndex},
                               {&page.accelIndex, written.accelIndex},
                               {&page.smoothIndex, written.smoothIndex},
                               {&page.unrollIndex, written.unrollIndex},
                               {&page.mediaIndex, written.mediaIndex},
                               {&page.bladeHolderIndex, written.bladeHolderIndex}})
        if (*shown < 0)
            *shown = held;
    const std::string edits = SettingsDifferenceText(page, written);
    if (edits == "no value changed")
        return {};
    return " The Setting page's unwritten " + edits +
           (edits.find(", ") == std::string::npos ? " was left as it is."
                                                  : " were left as they are.");
}

void TMainForm_::ShowHistory() {
    const settings::JournalRead journal = FJournal.Read();
    if (!journal.problem.empty())
        StatusLine.SetText(journal.problem);
    FHistory.clear();
    if (FCutterRead)
        FHistory = settings::EntriesOf(
            journal.entries,
            settings::MakeJournalEntry(ValuesOfCutter(FSession.Known().Now().values), "", "")
                .cutter);
    ILabel* const lines[kHistoryLines] = {&LaHistory1, &LaHistory2,  &LaHistory3,  &LaHistory4,
                                          &LaHistory5, &LaHistory6,  &LaHistory7,  &LaHistory8,
                                          &LaHistory9, &LaHistory10, &LaHistory11, &LaHistory12};
    CBHistory.Clear();
    for (std::size_t line = 0; line < kHistoryLines; ++line)
        lines[line]->SetText(line < FHistory.size()
                                 ? settings::HistoryLine(FHistory[FHistory.size() - 1 - line])
                                 : "");
    for (auto it = FHistory.rbegin(); it != FHistory.rend(); ++it)
        CBHistory.AddEntry(std::to_string(it->id) + ": " + settings::HistoryLine(*it));
    CBHistory.SetPosition(FHistory.empty() ? -1 : 0);
    CBHistory.SetEnabled(!FHistory.empty());
    BuUndo.SetEnabled(!FHistory.empty());
}

void TMainForm_::BuUndoClick() {
    if (!FCutterRead) {
        Window.ShowMessage(MessageKind::Message, "No Machine Connected");
        return;
    }
    const int chosen = CBHistory.Position();
    if (chosen < 0 || chosen >= static_cast<int>(FHistory.size())) {
        StatusLine.SetText("Choose the entry to undo first; nothing was sent.");
        return;
    }
    const std::int64_t id = FHistory[FHistory.size() - 1 - static_cast<std::size_t>(chosen)].id;
    // Read whole first: the cutter may have been changed at its panel or by another computer.
    StatusLine.SetText("Reading what the cutter holds...");
    const MachineSettings current = ReadWholeCutter();
    const settings::CutterValues now = ValuesOfCutter(current);
    settings::UndoPlan plan;
    SettingsUpdate update;
    try {
        plan = settings::PlanUndo(FHistory, id, now);
        update = settings::PlanBackupUpdate(
            {plan.restore.values, plan.restore.bladeHolder, plan.restore.aasOffsets}, current,
            ConnectionReadsBladeHolder());
    } catch (const std::exception& error) {
        StatusLine.SetText(std::string(error.what()) + "; nothing was sent.");
        Window.ShowMessage(MessageKind::Message, std::string(error.what()) + "; nothing was sent.");
        return;
    }
    // Changed at the panel or by another computer since: the user decides, knowing what.
    if (!plan.changedElsewhere.empty() &&
        !Window.AskYesNo(
            "The cutter no longer holds what entry " + std::to_string(plan.newest) +
            " left; it was changed elsewhere (left -> now):" + Lines(plan.changedElsewhere) +
            "\n\nUndo anyway? It writes:" + Lines(settings::UndoChanges(plan, now))))
        return;
    const std::string note = UnwrittenEditsNote();
    settings::JournaledWrite journal = JournalWrite(plan.action, current);
    WriteSettings(update);
    const MachineSettings& wanted = plan.restore.values;
    if (wanted.FXScale != current.FXScale || wanted.FYScale != current.FYScale)
        WriteToLink(CalibrationText(static_cast<std::int32_t>(wanted.FXScale),
                                    static_cast<std::int32_t>(wanted.FYScale)));
    if (plan.restore.aasOffsets &&
        (wanted.FAASXOffset != current.FAASXOffset || wanted.FAASYOffset != current.FAASYOffset)) {
        for (const std::string& command : AasOffsetWrites(wanted.FAASXOffset, wanted.FAASYOffset))
            WriteToLink(command);
        // The cutter stores the offsets in this time, as after the AAS update.
        PauseKeepingWindowPainted(kAasUpdatePause);
    }
    const settings::CutterValues after = ValuesOfCutter(ReadWholeCutter());
    // The pages show what the cutter holds now, as after a read.
    ShowParameterValues();
    CoUnitChange();
    FSettingsRead = PageSettings();
    const std::string outcome = settings::WriteOutcome(plan.restore, after);
    StatusLine.SetText(
        plan.action +
        (outcome == "all written" ? ": written and read back." : ": the cutter " + outcome + ".") +
        note);
    journal.Done(plan.restore, after);
    ShowHistory();
}

} // namespace zopra
