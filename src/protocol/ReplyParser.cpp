#include "protocol/ReplyParser.h"

#include "protocol/Commands.h"
#include "protocol/Numbers.h"

#include <algorithm>

namespace zopra {

namespace {

// The working text and its two steps: skip drops everything up to and including the
// first separator (nothing when there is none); take yields what stands before it
// (empty when there is none) and leaves the text as it is.
class Fields {
public:
    explicit Fields(std::string_view reply) : w_(Trim(reply)) {}

    void Skip(char s) {
        if (auto p = w_.find(s); p != std::string::npos)
            w_.erase(0, p + 1);
    }
    std::string Take(char s) const {
        auto p = w_.find(s);
        return p == std::string::npos ? std::string() : w_.substr(0, p);
    }
    const std::string& Rest() const { return w_; }

private:
    static std::string Trim(std::string_view text) {
        auto isSpaceOrControl = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
        while (!text.empty() && isSpaceOrControl(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && isSpaceOrControl(text.back()))
            text.remove_suffix(1);
        return std::string(text);
    }

    std::string w_;
};

// Every reply value lands in a double of the record.
long double Number(const std::string& token) { return StrToFloatForDouble(token, '.'); }

void ParseHardClip(Fields& f, MachineSettings& v) {
    f.Skip(',');
    f.Skip(',');
    const std::string length = f.Take(',');
    f.Skip(',');
    v.FPaperLength = PlotterUnitsToMm(Number(length));
    v.FPaperWidth = PlotterUnitsToMm(Number(f.Rest()));
}

void ParseParameters(Fields& f, MachineSettings& v) {
    double* const targets[] = {&v.FSpeed,        &v.FBladeForce, &v.FBladeOffset,
                               &v.FVectorQuality, &v.FVectorSmooth, &v.FAutoUnroll,
                               &v.FMediaType};
    const int count = static_cast<int>(std::size(targets));
    for (int i = 0; i < count; ++i) {
        f.Skip(',');
        *targets[i] = static_cast<double>(Number(f.Take(i + 1 < count ? ',' : ';')));
    }
}

void ParseIdentity(Fields& f, MachineSettings& v) {
    std::string* const targets[] = {&v.FCName, &v.FModelName, &v.FVersion, &v.FDate, &v.FTime};
    const int count = static_cast<int>(std::size(targets));
    for (int i = 0; i < count; ++i) {
        f.Skip(',');
        *targets[i] = f.Take(i + 1 < count ? ',' : ';');
    }
}

void ParsePair(Fields& f, double& first, double& second) {
    f.Skip(',');
    first = static_cast<double>(Number(f.Take(',')));
    f.Skip(',');
    second = static_cast<double>(Number(f.Take(';')));
}

// How many comma-separated fields the reply to a query has, the leading one included; 0 for
// a command that expects no reply.
std::size_t ExpectedFields(CommandCode code) {
    switch (code) {
    case kCmdHardClipLimits:
        return 4;
    case kCmdReadParameters:
        return 8;
    case kCmdReadIdentity:
        return 6;
    case kCmdReadScale:
    case kCmdReadAasOffsets:
        return 3;
    case kCmdReadBladeHolder:
        return 2;
    default:
        return 0;
    }
}

// The fields of a reply up to its ";" (what follows it is not part of the reply).
std::size_t FieldCount(const std::string& w) {
    const std::string_view fields = std::string_view(w).substr(0, w.find(';'));
    return static_cast<std::size_t>(std::count(fields.begin(), fields.end(), ',')) + 1;
}

} // namespace

std::optional<ReplyFailure> ParseReplyInto(CommandCode code, std::string_view reply,
                                           MachineSettings& values, bool& identityParsed) {
    identityParsed = false;
    Fields f(reply);
    // Replies carry no name: one stray or missing line would pair every later reply with the
    // wrong query. A reply of another shape than the one awaited is not stored at all.
    if (const std::size_t expected = ExpectedFields(code);
        expected != 0 && FieldCount(f.Rest()) != expected)
        return ReplyFailure{code, std::string(reply),
                            "the reply has " + std::to_string(FieldCount(f.Rest())) +
                                " fields where " + std::to_string(expected) + " were expected"};
    try {
        switch (code) {
        case kCmdHardClipLimits:
            ParseHardClip(f, values);
            break;
        case kCmdReadParameters:
            ParseParameters(f, values);
            break;
        case kCmdReadIdentity:
            ParseIdentity(f, values);
            identityParsed = true;
            break;
        case kCmdReadScale:
            ParsePair(f, values.FXScale, values.FYScale);
            values.FScalesRead = true;
            break;
        case kCmdReadAasOffsets:
            ParsePair(f, values.FAASXOffset, values.FAASYOffset);
            values.FAasOffsetsRead = true;
            break;
        case kCmdReadBladeHolder:
            f.Skip(',');
            values.FBladeHolder = static_cast<double>(Number(f.Take(';')));
            break;
        default:
            break; // a reply to a command that expects none
        }
    } catch (const ConversionError& e) {
        return ReplyFailure{code, std::string(reply), e.what()};
    }
    return std::nullopt;
}

std::optional<ReplyFailure> ParseReply(MachineRecord& record, std::string_view reply) {
    const CommandCode code = record.FPendingCommand.load(std::memory_order_acquire);
    bool identityParsed = false;
    std::optional<ReplyFailure> failure;
    record.Write([&](MachineSettings& values) {
        failure = ParseReplyInto(code, reply, values, identityParsed);
    });
    if (identityParsed)
        record.FIdentityReady.store(1, std::memory_order_release);
    record.FWaitingReply.store(0, std::memory_order_release);
    return failure;
}

} // namespace zopra
