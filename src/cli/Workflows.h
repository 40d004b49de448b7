#pragma once
// The commands of zopra-cli, each the window's workflow for one button or the read of the
// connect button, on one cutter or on every listed cutter at once. Each writes its result
// to `out` and ends by returning (done) or by throwing UsageError, CutterFailure or
// Interrupted.
#include "cli/Cutter.h"
#include "cli/Reports.h"
#include "settings/BackupDocument.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace zopra::cli {

class Cutter;

struct Options {
    bool json = false;
    bool inches = false;
    std::chrono::milliseconds replyBound{10000};
    // --all covers the identified cutters and, of the serial ports, only those named here
    // (text or list position, or a port the list does not show).
    std::vector<std::string> ports;
    // --all leaves out the entries named here (text or list position).
    std::vector<std::string> except;
};

void RunList(const Options& options, std::ostream& out, std::ostream& err);
void RunRead(const std::string& device, const Options& options, std::ostream& out,
             std::ostream& err);
void RunSet(const std::string& device, const std::vector<std::string>& assignments,
            const Options& options, std::ostream& out, std::ostream& err);
// file "" or "-" writes the backup to `out`.
void RunBackup(const std::string& device, const std::string& file, const Options& options,
               std::ostream& out, std::ostream& err);
void RunRestore(const std::string& device, const std::string& file, bool dryRun, bool force,
                const Options& options, std::ostream& out, std::ostream& err);
void RunSquare(const std::string& device, const std::string& size, const Options& options,
               std::ostream& out, std::ostream& err);
void RunCalibrate(const std::string& device, const std::string& test, const std::string& measured,
                  const Options& options, std::ostream& out, std::ostream& err);
void RunAas(const std::string& device, const std::string& adjust, const Options& options,
            std::ostream& out, std::ostream& err);

// The test cut (TestCutWorkflows.cpp): `size` as typed ("" for the default 10 mm). `tune`
// makes the guided fix's one change for `seen` (a word of CutSeenWords), reads it back and,
// unless `noCut`, cuts again.
void RunTestCut(const std::string& device, const std::string& size, const Options& options,
                std::ostream& out, std::ostream& err);
void RunTune(const std::string& device, const std::string& seen, bool noCut,
             const std::string& size, const Options& options, std::ostream& out, std::ostream& err);

// `ladder` (TestCutWorkflows.cpp): a strip of test cuts, each with its own force or offset,
// the cutter's values from before written back and read back after it; with `seen` (one word
// per cell) the planner's value written and read back, or the next strip cut.
struct LadderArguments {
    std::string kind; // "force" or "offset"
    std::string from, to, cells, size;
    std::string seen;   // comma-separated, one word per cell; empty: cut the strip
    std::string values; // the strip's cells as an earlier answer printed them
    bool noCut = false;
};
void RunLadder(const std::string& device, const LadderArguments& ladder, const Options& options,
               std::ostream& out, std::ostream& err);

// Every identified cutter and every serial port named in `ports`, each over its own
// connection, all at the same time. A cutter that
// fails fails alone: its error goes to `err` as "DEVICE: message" and the command ends with
// CutterFailure after the others are done.
void RunReadAll(const Options& options, std::ostream& out, std::ostream& err);
void RunBackupAll(const std::string& folder, const Options& options, std::ostream& out,
                  std::ostream& err);

// What the commands share (here and in Presets.cpp).

// Discovers the connection list (its device messages to `err`), resolves DEVICE in it and
// opens the link; CutterFailure when it does not open.
std::unique_ptr<Cutter> Connect(const std::string& device, const Options& options,
                                std::ostream& err);
// The connect button's read of an open cutter.
ReadResult Read(Cutter& cutter);
// A read as text or (with --json) as JSON with the version.
void PrintRead(const ReadResult& read, const Options& options, std::ostream& out);
// Several lines, one per setting that the cutter did not take.
std::string JoinLines(const std::vector<std::string>& lines);

// Writes a backup's values to a cutter that holds `current` (its settings update always, its
// scale factors and AAS offsets where they differ) and reads everything back. `sent` holds
// the writes, readable; with dryRun nothing is written and nothing read. UsageError for a
// value the cutter cannot take, before anything is sent. Restore and undo both use it.
struct RestoreWrites {
    std::vector<std::string> sent;
    std::optional<MachineSettings> after;
    std::vector<std::string> notTaken; // one line per value the read-back does not show
};
RestoreWrites WriteBackup(Cutter& cutter, const MachineSettings& current,
                          const settings::Backup& backup, bool dryRun);

// One cutter of an --all command: what it read, or why it failed.
struct CutterOutcome {
    std::string device;
    std::optional<ReadResult> read;
    std::string error;
    bool interrupted = false;
    bool skipped = false;
};
// Runs `work` on every chosen entry of the list (see RunReadAll), each on its own thread over
// its own opened connection; what it returns is the cutter's read, what it throws its error.
std::vector<CutterOutcome> ForEveryCutter(const Options& options, std::ostream& err,
                                          const std::function<ReadResult(Cutter&)>& work);
// The reads of an --all command, as text or (with --json) one JSON document.
void PrintAll(const std::vector<CutterOutcome>& outcomes, const Options& options,
              std::ostream& out);
// Ends an --all command: Ctrl-C wins, then any failure (CutterFailure).
void FinishAll(const std::vector<CutterOutcome>& outcomes, std::ostream& err);

} // namespace zopra::cli
