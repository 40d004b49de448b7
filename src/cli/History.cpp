// `history` and `undo`, and the journal entry every write workflow of zopra-cli leaves.
#include "cli/History.h"

#include "cli/CliErrors.h"
#include "protocol/ModelRules.h"
#include "settings/BackupDocument.h"
#include "settings/CutterText.h"
#include "settings/History.h"

namespace zopra::cli {

using namespace settings;

CutterValues ValuesOf(const Cutter& cutter, const MachineSettings& values) {
    return {values, cutter.ReadsBladeHolder(),
            HasAasOffsets(values.FModelName) && values.FAasOffsetsRead};
}

JournaledWrite::JournaledWrite(const Cutter& cutter, const MachineSettings& before,
                               std::string action, std::ostream& err)
    : cutter_(cutter),
      entry_(Journal::ForUser(), cutter.Session(), ValuesOf(cutter, before), cutter.Text(),
             std::move(action),
             [&err](const std::string& problem) { err << "zopra-cli: " << problem << "\n"; }) {}

void JournaledWrite::Done(const MachineSettings& after, bool readBack, const std::string& outcome) {
    entry_.Done(ValuesOf(cutter_, after), readBack, outcome);
}

void JournaledWrite::Done(const MachineSettings& wanted, const MachineSettings& readBack) {
    entry_.Done(ValuesOf(cutter_, wanted), ValuesOf(cutter_, readBack));
}

namespace {

JournalCutter CutterOf(const MachineSettings& values) {
    return MakeJournalEntry({values}, "", "").cutter;
}

JournalRead ReadJournal(std::ostream& err) {
    JournalRead journal = Journal::ForUser().Read();
    if (!journal.problem.empty())
        err << "zopra-cli: " << journal.problem << "\n";
    return journal;
}

} // namespace

std::vector<JournalEntry> LastEntriesOf(const MachineSettings& values, std::size_t count) {
    std::vector<JournalEntry> entries =
        EntriesOf(Journal::ForUser().Read().entries, CutterOf(values));
    if (entries.size() > count)
        entries.erase(entries.begin(), entries.end() - static_cast<std::ptrdiff_t>(count));
    return entries;
}

void RunHistory(const std::string& device, const Options& options, std::ostream& out,
                std::ostream& err) {
    std::vector<JournalEntry> entries = ReadJournal(err).entries;
    if (!device.empty()) {
        auto cutter = Connect(device, options, err);
        entries = EntriesOf(entries, CutterOf(cutter->ReadParameters()));
    }
    if (options.json) {
        Json list = Json::array();
        for (const JournalEntry& entry : entries)
            list.push_back(Json::parse(JournalEntryJson(entry)));
        out << Json{{"version", kJsonVersion}, {"entries", list}}.dump(2) << "\n";
        return;
    }
    // Newest first, as the window's page lists them.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        out << it->id << "  " << (device.empty() ? ShownText(it->cutter.model) + "  " : "")
            << ShownText(HistoryLine(*it)) << "\n";
}

void RunUndo(const std::string& device, std::optional<std::int64_t> to, bool force,
             const Options& options, std::ostream& out, std::ostream& err) {
    const std::vector<JournalEntry> entries = ReadJournal(err).entries;
    auto cutter = Connect(device, options, err);
    const MachineSettings current = cutter->ReadParameters();
    const CutterValues now = ValuesOf(*cutter, current);
    UndoPlan plan;
    try {
        plan = PlanUndo(EntriesOf(entries, CutterOf(current)), to, now);
    } catch (const UndoError& error) {
        throw UsageError(error.what());
    }
    if (!plan.changedElsewhere.empty() && !force) {
        std::string differences;
        for (const std::string& change : plan.changedElsewhere)
            differences += "\n  " + change;
        throw CutterFailure("the cutter no longer holds what entry " + std::to_string(plan.newest) +
                            " left (changed elsewhere; left -> now):" + differences +
                            "\nnothing was sent (--force undoes anyway)");
    }

    const Backup backup{plan.restore.values, plan.restore.bladeHolder, plan.restore.aasOffsets};
    JournaledWrite journal(*cutter, current, plan.action, err);
    const RestoreWrites written = WriteBackup(*cutter, current, backup, false);
    const bool matched = written.notTaken.empty();
    journal.Done(*written.after, true,
                 matched ? "all written" : "read back different: " + JoinLines(written.notTaken));

    if (options.json) {
        out << Json{{"version", kJsonVersion},
                    {"device", CutterText(cutter->Text())},
                    {"model", CutterText(current.FModelName)},
                    {"undone", plan.target},
                    {"newest", plan.newest},
                    {"changes", UndoChanges(plan, now)},
                    {"sent", written.sent},
                    {"read_back_matched", matched}}
                   .dump(2)
            << "\n";
    } else {
        const std::vector<std::string> changes = UndoChanges(plan, now);
        out << plan.action << " on " << ShownText(cutter->Text())
            << (changes.empty() ? ": no value changed" : ":") << "\n";
        for (const std::string& change : changes)
            out << "  " << change << "\n";
    }
    if (!matched)
        throw CutterFailure(JoinLines(written.notTaken));
}

} // namespace zopra::cli
