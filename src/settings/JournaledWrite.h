#pragma once
// One write workflow's journal entry, for both front ends. Made before the first write with
// the cutter's values as known; Done journals it with what the workflow read back (or
// wrote). A workflow that ends with an error before Done is journaled when this goes, if
// any write had gone out, with how many did. Whatever keeps the journal from being written
// is handed to `tell` (the status line, standard error) and stops nothing.
#include "link/CutterSession.h"
#include "settings/Journal.h"

#include <functional>
#include <string>

namespace zopra::settings {

class JournaledWrite {
public:
    JournaledWrite(Journal journal, const CutterSession& session, const CutterValues& before,
                   const std::string& port, std::string action,
                   std::function<void(const std::string&)> tell);
    ~JournaledWrite();
    JournaledWrite(const JournaledWrite&) = delete;
    JournaledWrite& operator=(const JournaledWrite&) = delete;

    // The values after the write, read back or as written, and the outcome.
    void Done(const CutterValues& after, bool readBack, const std::string& outcome);
    // After a read-back: the outcome compares what was meant to be held with it.
    void Done(const CutterValues& wanted, const CutterValues& readBack);

    // The entry as journaled (its id), once it is.
    const JournalEntry& Entry() const { return entry_; }

private:
    void Append();

    Journal journal_;
    const CutterSession& session_;
    JournalEntry entry_;
    std::function<void(const std::string&)> tell_;
    int writesBefore_;
    bool done_ = false;
};

} // namespace zopra::settings
