#include "settings/JournaledWrite.h"

#include "settings/History.h"

namespace zopra::settings {

JournaledWrite::JournaledWrite(Journal journal, const CutterSession& session,
                               const CutterValues& before, const std::string& port,
                               std::string action, std::function<void(const std::string&)> tell)
    : journal_(std::move(journal)), session_(session),
      entry_(MakeJournalEntry(before, port, std::move(action))), tell_(std::move(tell)),
      writesBefore_(session.WritesSent()) {}

JournaledWrite::~JournaledWrite() {
    const int sent = session_.WritesSent() - writesBefore_;
    if (done_ || sent == 0)
        return;
    // Runs while the workflow's error unwinds: nothing may escape from here.
    try {
        entry_.outcome = "failed after " + std::to_string(sent) + " writes";
        Append();
    } catch (...) {
    }
}

void JournaledWrite::Done(const CutterValues& after, bool readBack, const std::string& outcome) {
    entry_.after = after;
    entry_.afterReadBack = readBack;
    entry_.outcome = outcome;
    Append();
}

void JournaledWrite::Done(const CutterValues& wanted, const CutterValues& readBack) {
    Done(readBack, true, WriteOutcome(wanted, readBack));
}

void JournaledWrite::Append() {
    done_ = true;
    const JournalWrite written = journal_.Append(entry_);
    if (written.entry)
        entry_ = *written.entry;
    if (!written.problem.empty() && tell_)
        tell_(written.problem);
}

} // namespace zopra::settings
