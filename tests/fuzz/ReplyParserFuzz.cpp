// The reply parser on any bytes, read with each outstanding code in turn. A reply is
// outside input: whatever it holds, the parser must clear the waiting flag, keep every
// number of the record finite, and either store a field or leave its old value.
#include "protocol/Commands.h"
#include "protocol/ReplyParser.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

using zopra::MachineRecord;
using zopra::MachineSettings;

// Every code the dispatcher knows, and two it does not.
constexpr zopra::CommandCode kCodes[] = {zopra::kCmdHardClipLimits,
                                   zopra::kCmdReadParameters,
                                   zopra::kCmdReadIdentity,
                                   zopra::kCmdTestSquare,
                                   zopra::kCmdCalibrate,
                                   zopra::kCmdCalibrateAgain,
                                   zopra::kCmdReadScale,
                                   zopra::kCmdReadAasOffsets,
                                   zopra::kCmdReadBladeHolder,
                                   zopra::kCmdNone,
                                   static_cast<zopra::CommandCode>(18)};

void Require(bool condition) {
    if (!condition)
        std::abort();
}

void RequireFiniteNumbers(const MachineSettings& v) {
    for (double value : {v.FPaperLength, v.FPaperWidth, v.FSpeed, v.FBladeForce, v.FBladeOffset,
                         v.FVectorQuality, v.FVectorSmooth, v.FAutoUnroll, v.FMediaType, v.FXScale,
                         v.FYScale, v.FAASXOffset, v.FAASYOffset, v.FBladeHolder})
        Require(std::isfinite(value));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    for (zopra::CommandCode code : kCodes) {
        MachineRecord record;
        record.FPendingCommand = code;
        record.FWaitingReply = 1;
        const auto failure = zopra::ParseReply(record, reply);
        Require(record.FWaitingReply == 0);
        // An identity of the wrong shape is not stored, so it is no identity either.
        Require(record.FIdentityReady == (code == zopra::kCmdReadIdentity && !failure ? 1 : 0));
        RequireFiniteNumbers(record.Read());
        if (failure) {
            Require(failure->code == code && failure->reply == reply);
            // The message comes from what(), a C string, so a NUL in the reply cuts it.
            Require(failure->message.find("is not a valid floating point value") !=
                        std::string::npos ||
                    failure->message.find(" fields where ") != std::string::npos ||
                    reply.find('\0') != std::string_view::npos);
        }
        // Only replies to queries can fail; the others store nothing.
        if (!zopra::IsQuery(code))
            Require(!failure);
    }
    return 0;
}
