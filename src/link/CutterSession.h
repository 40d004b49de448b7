#pragma once
// Everything one cutter connection needs, in one object: the record of the cutter's values,
// its links, the dispatcher that pairs each query with its reply, and the receive thread that
// reads the replies into the record, and what the cutter is known to hold. The window holds one;
// the command-line tool holds one per cutter, so several cutters can run in one process.
#include "link/Connections.h"
#include "link/KnownState.h"
#include "link/ReceiveThread.h"
#include "link/TrafficLog.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/MachineSettings.h"
#include "protocol/ReplyParser.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace zopra {

class CutterSession {
public:
    // Talks through `links` (the devices of this computer, or made-up ones in tests). The
    // receive thread starts suspended; the link kind starts at the printer class.
    explicit CutterSession(std::unique_ptr<CutterConnections> links);
    // Stops the receive thread first, also while a read is pending.
    ~CutterSession();

    CutterSession(const CutterSession&) = delete;
    CutterSession& operator=(const CutterSession&) = delete;

    MachineRecord& Record() { return FRecord; }
    CutterConnections& Links() { return *FLinks; }
    CommandDispatcher& Dispatcher() { return FDispatcher; }
    // What the cutter holds as far as its replies told (never a page's edits).
    const KnownState& Known() const { return FKnown; }
    // The session's last exchanges with the cutter, for the report.
    const TrafficLog& Traffic() const { return FTraffic; }

    // A query or command through the dispatcher (waits for the outstanding reply first).
    void SendCommand(CommandCode code, const CommandInputs& inputs = {}) {
        FDispatcher.SendCommand(code, inputs);
    }
    // Opens the chosen entry (CutterConnections::OpenConnection) and forgets everything the
    // record held: the cutter now connected may be another one, and nothing it has not
    // told may be written to it.
    int OpenConnection(int position, const std::string& text);

    // The raw write to whichever link is open; tells whether every byte went out.
    LinkWriteResult WriteToLink(const std::string& bytes);

    // Writes that went out whole since the session was made: a journal entry of a workflow
    // that failed half-way says how far it got.
    int WritesSent() const { return FWritesSent.load(); }

    // The first reply since the last call that the parser could not read, if any.
    std::optional<ReplyFailure> TakeUnreadableReply();

private:
    // On the receive thread.
    void OnReply(std::string_view reply);

    MachineRecord FRecord;
    KnownState FKnown;
    // Before the links and the receive thread, which write into it.
    TrafficLog FTraffic;
    std::unique_ptr<CutterConnections> FLinks;
    CommandDispatcher FDispatcher;
    std::atomic<int> FWritesSent{0};
    std::mutex FUnreadableMutex;
    std::optional<ReplyFailure> FUnreadableReply;
    // Declared last: it reads the links and the record, so it stops before they go.
    std::unique_ptr<ReadThread> FReadThread;
};

} // namespace zopra
