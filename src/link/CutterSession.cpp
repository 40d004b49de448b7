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
    FTraffic.Opened(FLinks->FLinkKind(), text);
    return FLinks->OpenConnection(position, text);
}

LinkWriteResult CutterSession::WriteToLink(const std::string& bytes) {
    FTraffic.Record(TrafficDirection::ToCutter, FLinks->FLinkKind(), bytes);
    return FLinks->WriteToLink(bytes);
}

CutterSession::~CutterSession() {
    FDispatcher.SetAbandonedReplies(nullptr);
    FReadThread.reset();
}

void CutterSession::OnReply(std::string_view reply) {
    FTraffic.Record(TrafficDirection::FromCutter, FLinks->FLinkKind(), reply);
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
