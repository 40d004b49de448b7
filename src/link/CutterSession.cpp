#include "link/CutterSession.h"

#include <utility>

namespace zopra {

CutterSession::CutterSession(std::unique_ptr<CutterConnections> links)
    : FLinks(std::move(links)),
      FDispatcher(
          FRecord, [this](const std::string& bytes) { return WriteToLink(bytes); },
          [this] { FReadThread->Resume(); }) {
    FLinks->SetLinkKind(kLinkPrinterClass);
    FRecord.FIdentityReady = 0;
    FRecord.FWaitingReply = 0;
    // Suspended until the first query wakes it.
    FReadThread =
        std::make_unique<ReadThread>(*FLinks, [this](std::string_view reply) { OnReply(reply); });
    FDispatcher.SetAbandonedReplies(FReadThread.get());
    FDispatcher.SetLinkLost([this] { return FLinks->LinkLost(); });
}

int CutterSession::OpenConnection(int position, const std::string& text) {
    FRecord.Clear();
    FKnown.Forget();
    FTraffic.Opened(FLinks->FLinkKind(), text);
    return FLinks->OpenConnection(position, text);
}

LinkWriteResult CutterSession::WriteToLink(const std::string& bytes) {
    FTraffic.Record(TrafficDirection::ToCutter, FLinks->FLinkKind(), bytes);
    // Marked before the write: a write that fails half-way may still have changed the cutter.
    FKnown.Written(bytes);
    const LinkWriteResult result = FLinks->WriteToLink(bytes);
    if (result)
        ++FWritesSent;
    return result;
}

CutterSession::~CutterSession() {
    FDispatcher.SetAbandonedReplies(nullptr);
    FReadThread.reset();
}

void CutterSession::OnReply(std::string_view reply) {
    FTraffic.Record(TrafficDirection::FromCutter, FLinks->FLinkKind(), reply);
    // Before the record's parse, which releases the waiting interface thread: whoever sees
    // the reply answered sees the known state with it.
    FKnown.Reported(FRecord.FPendingCommand.load(std::memory_order_acquire), reply);
    std::optional<ReplyFailure> failure = ParseReply(FRecord, reply);
    if (failure) {
        std::lock_guard lock(FUnreadableMutex);
        if (!FUnreadableReply)
            FUnreadableReply = std::move(failure);
    }
}

std::optional<ReplyFailure> CutterSession::TakeUnreadableReply() {
    std::lock_guard lock(FUnreadableMutex);
    std::optional<ReplyFailure> failure;
    failure.swap(FUnreadableReply);
    return failure;
}

} // namespace zopra
