#include "link/KnownState.h"

#include "protocol/Commands.h"
#include "protocol/ReplyParser.h"

namespace zopra {

namespace {

// The part a query reports, of those a write can change.
unsigned PartReportedBy(CommandCode code) {
    switch (code) {
    case kCmdReadParameters:
        return kPartSettings;
    case kCmdReadScale:
        return kPartScales;
    case kCmdReadAasOffsets:
        return kPartAasOffsets;
    default:
        return kPartNone;
    }
}

} // namespace

void KnownState::Forget() {
    std::lock_guard lock(mutex_);
    known_ = KnownValues{};
    pendingHolder_.reset();
}

void KnownState::Reported(CommandCode code, std::string_view reply) {
    std::lock_guard lock(mutex_);
    // Parsed into a copy: a reply that stops half-way must not leave half of its values.
    MachineSettings values = known_.values;
    bool identity = false;
    const unsigned part = PartReportedBy(code);
    if (ParseReplyInto(code, reply, values, identity)) {
        known_.writtenNotReadBack |= part;
        return;
    }
    if (part == kPartSettings && pendingHolder_) {
        values.FBladeHolder = *pendingHolder_;
        pendingHolder_.reset();
    }
    if (code == kCmdReadBladeHolder)
        pendingHolder_.reset();
    known_.values = values;
    known_.writtenNotReadBack &= ~part;
    known_.read = known_.read || identity;
}

void KnownState::Written(std::string_view bytes) {
    const unsigned parts = PartsChangedBy(bytes);
    const std::optional<int> holder = BladeHolderWritten(bytes);
    std::lock_guard lock(mutex_);
    known_.writtenNotReadBack |= parts;
    if (holder)
        pendingHolder_ = holder;
}

KnownValues KnownState::Now() const {
    std::lock_guard lock(mutex_);
    return known_;
}

std::vector<CommandCode> KnownState::ReadsToConfirm() const {
    const unsigned parts = Now().writtenNotReadBack;
    std::vector<CommandCode> reads;
    if (parts & kPartSettings)
        reads.push_back(kCmdReadParameters);
    if (parts & kPartScales)
        reads.push_back(kCmdReadScale);
    if (parts & kPartAasOffsets)
        reads.push_back(kCmdReadAasOffsets);
    return reads;
}

} // namespace zopra
