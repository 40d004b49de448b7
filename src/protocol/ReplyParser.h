#pragma once
// Turns one reply of the cutter into values of the record. A reply carries no name of its
// own: it is read by the code of the command that is outstanding, so a late reply to an
// earlier query is read with the layout of the current one.
#include "protocol/CommandCode.h"
#include "protocol/MachineSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zopra {

// A reply whose number field did not convert: the fields before it keep their new values,
// that field and the ones after it keep their old ones. Or a reply whose count of fields is
// not the outstanding query's, which stores nothing.
struct ReplyFailure {
    CommandCode code;    // the outstanding command
    std::string reply;   // the reply as received
    std::string message; // the conversion error
};

// Reads reply by code into values. Sets identityParsed after a complete identity reply.
std::optional<ReplyFailure> ParseReplyInto(CommandCode code, std::string_view reply,
                                           MachineSettings& values, bool& identityParsed);

// The receive thread's entry: reads by record.FPendingCommand, stores the values, sets
// FIdentityReady after an identity reply and always clears FWaitingReply last, also when
// the reply could not be read (the failure is returned for the window to report).
std::optional<ReplyFailure> ParseReply(MachineRecord& record, std::string_view reply);

} // namespace zopra
