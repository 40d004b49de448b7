#pragma once
// The journal: one entry for every write to a cutter, from the window or zopra-cli, so that
// history and undo need no second source. It is journal.jsonl in the user's settings folder
// beside the presets: a first line that names it, then one JSON object per line, oldest
// first.
//
// How to journal a write (the whole API a workflow needs):
//     settings::JournalEntry entry = settings::MakeJournalEntry(cutterBefore, port, action);
//     ... write, read back ...
//     entry.after = ...; entry.afterReadBack = ...; entry.outcome = ...;
//     const settings::JournalWrite written = settings::Journal::ForUser().Append(entry);
//     if (!written.problem.empty()) show it (status line, standard error) and go on.
// Append never throws: a journal that cannot be written stops no write to a cutter.
//
// Every change takes the presets' lock (presets.json.lock), appends one line and flushes it
// to the disk before Append returns, so two processes writing at once lose and interleave
// nothing. At most kJournalEntries entries are kept: the append that would pass the bound
// rewrites the file in one step with the newest ones. A journal file that is not sound (not
// ours, cut off in the middle of a line, larger than any journal gets, a FIFO or device) is
// never written to: it is named in the problem, and the journal goes on in the next free
// name (journal-2.jsonl, ...).
#include "protocol/MachineSettings.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zopra::settings {

inline constexpr std::size_t kJournalEntries = 2000;

// The cutter an entry is about: its model, its first identity text and the port it was on.
// The model and identity tell one cutter from another; the port may change.
struct JournalCutter {
    std::string model;
    std::string identity;
    std::string port;
    bool SameCutter(const JournalCutter& other) const {
        return model == other.model && identity == other.identity;
    }
};

// The values that can be written: the seven parameters and the blade holder, the scale
// factors and the AAS offsets (keys of `read --json`).
struct CutterValues {
    MachineSettings values;
    bool bladeHolder = true; // the holder was read (not on a "QT-24" entry)
    bool aasOffsets = false; // the model has AAS offsets and they were read
};

struct JournalEntry {
    std::int64_t id = 0; // set by Append: increasing, never reused within the file
    std::string time;    // set by Append when empty: local, ISO 8601 with the offset
    JournalCutter cutter;
    std::string action;                 // the workflow and its reason: "Update", "Undo of 17", ...
    std::optional<CutterValues> before; // as last read; nothing where not read
    std::optional<CutterValues> after;  // as read back, or as written (afterReadBack false)
    bool afterReadBack = false;
    std::string outcome; // "all written", "4 of 9 written", "read back different: ..."
};

// The entry of a write to the cutter whose values (as read) are `before`, on `port`.
JournalEntry MakeJournalEntry(const CutterValues& before, const std::string& port,
                              const std::string& action);

// What Append did: the entry as written (with its id and time), or nothing; and a message
// for the user when a journal file was passed over or nothing could be written.
struct JournalWrite {
    std::optional<JournalEntry> entry;
    std::string problem;
};

// The journal as read: its entries, oldest first, the file they come from, and a message
// naming the journal files that were passed over ("" when none).
struct JournalRead {
    std::vector<JournalEntry> entries;
    std::filesystem::path file;
    std::string problem;
};

class Journal {
public:
    // The journal in `folder` (tests use their own).
    explicit Journal(std::filesystem::path folder,
                     std::chrono::milliseconds lockBound = std::chrono::seconds(10));
    // The user's journal; a Journal whose every use reports a problem when the system names
    // no settings folder.
    static Journal ForUser();

    JournalWrite Append(JournalEntry entry) const;
    JournalRead Read() const;

private:
    JournalWrite AppendUnderLock(JournalEntry entry) const;

    std::filesystem::path folder_;
    std::chrono::milliseconds lockBound_;
};

// The JSON of an entry, as a journal line holds it and `history --json` prints it.
std::string JournalEntryJson(const JournalEntry& entry, int indent = -1);

} // namespace zopra::settings
