#pragma once
// The journal from the command line: every write workflow journals through JournaledWrite,
// and `history` and `undo` read it.
#include "cli/Cutter.h"
#include "cli/Workflows.h"
#include "settings/JournaledWrite.h"

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace zopra::cli {

// The values a write can change, of a read of `cutter`.
settings::CutterValues ValuesOf(const Cutter& cutter, const MachineSettings& values);

// One write workflow's journal entry in the user's journal; problems go to `err`.
class JournaledWrite {
public:
    JournaledWrite(const Cutter& cutter, const MachineSettings& before, std::string action,
                   std::ostream& err);
    // The values after the write, read back or as written, and the outcome.
    void Done(const MachineSettings& after, bool readBack, const std::string& outcome);
    // After a read-back: the outcome compares what was meant to be held with it.
    void Done(const MachineSettings& wanted, const MachineSettings& readBack);

private:
    const Cutter& cutter_;
    settings::JournaledWrite entry_;
};

void RunHistory(const std::string& device, const Options& options, std::ostream& out,
                std::ostream& err);
// Exit 1 (CutterFailure) when the cutter no longer holds what the newest entry left and not
// `force`, or when the read-back differs; exit 2 (UsageError) when there is nothing to undo.
void RunUndo(const std::string& device, std::optional<std::int64_t> to, bool force,
             const Options& options, std::ostream& out, std::ostream& err);

// The cutter's last `count` entries, oldest first, for the report.
std::vector<settings::JournalEntry> LastEntriesOf(const MachineSettings& values, std::size_t count);

} // namespace zopra::cli
