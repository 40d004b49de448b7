#pragma once
// History and undo over the journal, for both front ends: one line per entry, the values
// that differ between two states of a cutter, and what an undo writes.
#include "protocol/TestCut.h"
#include "settings/Journal.h"

#include <chrono>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace zopra::settings {

// What differs from `from` to `to`, one text each in the history's words: "force 120 ->
// 150 g", "quality Fine -> Draft", "scale 10000,10000 -> 10050,10000", "AAS offsets 0,0 ->
// 20,0 units". Values compare as the window's lists show them, so a speed of 10 and one of
// 15 are the same "Heavy".
std::vector<std::string> ValueChanges(const CutterValues& from, const CutterValues& to);

// "14:02 Update: force 120 -> 150 g, quality Fine -> Draft", with the outcome in brackets
// when not everything was written and read back.
std::string HistoryLine(const JournalEntry& entry);

// The entries of `cutter`, oldest first.
std::vector<JournalEntry> EntriesOf(const std::vector<JournalEntry>& entries,
                                    const JournalCutter& cutter);

// The one-cut loop's earlier steps on one cutter, from its entries (oldest first): the run of
// test-cut entries ("Test cut 10.0 mm", "Test cut fix: ...") at the end of the journal made
// within the hour before `now`, each fix giving the values it started from and the sight it
// answered. Another kind of entry, or a gap of more than an hour, starts the loop afresh, so
// that successive `tune` calls grow their steps as the window does.
std::vector<TuneStep> RecentTuneSteps(const std::vector<JournalEntry>& entries,
                                      std::chrono::system_clock::time_point now);

// Undo cannot start: nothing to undo, or no such entry (zopra-cli's exit 2).
class UndoError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct UndoPlan {
    std::int64_t target = 0; // the values before this entry come back
    std::int64_t newest = 0; // the newest entry of the cutter
    CutterValues restore;    // what the cutter is to hold afterwards
    // Where the cutter no longer holds what the newest entry left: "force 150 g -> 130 g"
    // (left -> now). Empty when it does.
    std::vector<std::string> changedElsewhere;
    std::string action; // "Undo of 17", or "Undo of 15 to 17" when later changes go with it
};

// Undo for `cutterEntries` (EntriesOf one cutter) on a cutter that holds `now`: of entry
// `to`, or of the newest entry that changed a value. UndoError when there is none, `to` is
// no entry of the cutter, or the entry holds no values from before it.
UndoPlan PlanUndo(const std::vector<JournalEntry>& cutterEntries, std::optional<std::int64_t> to,
                  const CutterValues& now);

// What writing the plan changes, in ValueChanges' words (empty: nothing to write).
inline std::vector<std::string> UndoChanges(const UndoPlan& plan, const CutterValues& now) {
    return ValueChanges(now, plan.restore);
}

// The outcome of a write: "all written", or "read back different: ..." naming what the
// read-back does not show of `wanted`.
std::string WriteOutcome(const CutterValues& wanted, const std::optional<CutterValues>& readBack);

} // namespace zopra::settings
