#include "cli/Cutter.h"

#include "cli/CliErrors.h"
#include "cli/Interrupt.h"
#include "link/SerialComponent.h"
#include "protocol/CommandDispatcher.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/TestCut.h"
#include "settings/CutterText.h"

#include <algorithm>
#include <cctype>
#include <thread>

namespace zopra::cli {

using namespace settings;

namespace {

using namespace std::chrono_literals;

bool AllDigits(const std::string& text) {
    return !text.empty() && text.size() < 6 &&
           std::all_of(text.begin(), text.end(),
                       [](unsigned char c) { return std::isdigit(c) != 0; });
}

// Runs a step of a command on the cutter; the link's errors (no answer, a port that failed)
// come out as the CutterFailure that zopra-cli reports, with the same text.
template <typename Step> decltype(auto) AsCutterFailure(Step&& step) {
    try {
        return step();
    } catch (const NoAnswerError& error) {
        throw CutterFailure(error.what());
    } catch (const ECommError& error) {
        throw CutterFailure(error.what());
    }
}

} // namespace

std::vector<ConnectionEntry> DiscoverConnections(std::vector<std::string>& messages) {
    CutterConnections links;
    return links.RefreshConnections(
        [&messages](const std::string& text) { messages.push_back(text); });
}

Target ResolveDevice(const std::string& device, const std::vector<ConnectionEntry>& entries) {
    if (AllDigits(device)) {
        const int position = std::stoi(device);
        if (position >= static_cast<int>(entries.size()))
            throw UsageError("there is no entry " + device + " in the connection list (it has " +
                             std::to_string(entries.size()) + ")");
        return {position, entries[position].text};
    }
    // An entry is named as `list` shows it, by its bytes, or by its text alone.
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].text == device || ShownText(entries[i].text) == device ||
            ShownText(entries[i].ListText()) == device)
            return {static_cast<int>(i), entries[i].text};
    if (LinkKindOfText(device))
        return {-1, device};
    throw UsageError("'" + device + "' is not in the connection list (zopra-cli list shows it)");
}

Cutter::Cutter(std::vector<ConnectionEntry> entries, Target target,
               std::chrono::milliseconds replyBound)
    : target_(std::move(target)) {
    auto links = std::make_unique<CutterConnections>();
    links->UseEntries(std::move(entries));
    session_ = std::make_unique<CutterSession>(std::move(links));
    session_->Dispatcher().SetReplyBound(replyBound);
    // Ctrl-C ends a wait for a reply; the session then closes the link as it goes.
    session_->Dispatcher().SetWaitHook([](std::chrono::milliseconds step) {
        ThrowIfInterrupted();
        std::this_thread::sleep_for(step);
    });
}

Cutter::~Cutter() = default;

void Cutter::Open() {
    CutterConnections& links = session_->Links();
    links.ChooseLinkKind(target_.position, target_.text);
    const int opened =
        AsCutterFailure([&] { return session_->OpenConnection(target_.position, target_.text); });
    if (opened == 0)
        throw CutterFailure("No Machine Connected");
}

void Cutter::ThrowIfUnreadableReply() {
    if (const auto failure = session_->TakeUnreadableReply())
        throw CutterFailure("The machine sent a reply that could not be read: " +
                            ShownText(failure->reply));
}

MachineSettings Cutter::ReadParameters() {
    AsCutterFailure([&] {
        for (const auto code : ParameterReadOrder(target_.text))
            session_->SendCommand(code);
        // The window shows the record 200 ms after the identity query whether or not its
        // reply has come; here the reply is waited for, within the same bound as the others.
        session_->Dispatcher().WaitForReply();
        Pause(kParameterReadEndPause);
        ThrowIfUnreadableReply();
        MachineRecord& record = session_->Record();
        if (record.FIdentityReady.exchange(0) != 1)
            throw CutterFailure("The machine did not tell its identity.");
        if (HasAasOffsets(record.Read().FModelName)) {
            session_->SendCommand(kCmdReadAasOffsets);
            session_->Dispatcher().WaitForReply();
            ThrowIfUnreadableReply();
        }
    });
    return Values();
}

bool Cutter::ReadsBladeHolder() const {
    return !HidesBladeHolder(target_.text);
}

void Cutter::WriteAll(const std::vector<std::string>& writes) {
    // Ctrl-C is looked at before a series, never inside one: half of it would leave the
    // cutter with settings that were never committed. The first write that does not go out
    // ends the series, as in the window.
    ThrowIfInterrupted();
    AsCutterFailure([&] {
        for (std::size_t i = 0; i < writes.size(); ++i) {
            if (const LinkWriteResult written = session_->WriteToLink(writes[i]); !written)
                throw CutterFailure(std::string(LinkWriteError(written.reason).what()) +
                                    (i == 0 ? std::string()
                                            : " " + std::to_string(i) + " of the " +
                                                  std::to_string(writes.size()) +
                                                  " writes of this step had gone out."));
        }
    });
}

void Cutter::WriteSettings(const SettingsUpdate& update) {
    WriteAll(SettingsUpdateWrites(update));
}

void Cutter::PlotTestSquare(const CommandInputs& inputs) {
    AsCutterFailure([&] { session_->SendCommand(kCmdTestSquare, inputs); });
}

void Cutter::Calibrate(const CommandInputs& inputs) {
    AsCutterFailure([&] { session_->SendCommand(kCmdCalibrate, inputs); });
}

MachineSettings Cutter::WriteAasOffsetsAndReread(std::int64_t x, std::int64_t y) {
    WriteAll(AasOffsetWrites(x, y));
    Pause(kAasUpdatePause);
    Open();
    return ReadParameters();
}

void Cutter::CutTestPattern(std::int32_t side) {
    WriteAll({TestCutText(side)});
}

StripRun Cutter::CutStrip(const LadderStrip& strip) {
    // As for any series: Ctrl-C before it, never inside it.
    ThrowIfInterrupted();
    StripRun run;
    AsCutterFailure([&] {
        run = CutLadderStrip(
            strip, [&](const std::string& bytes) { return session_->WriteToLink(bytes); });
    });
    return run;
}

MachineSettings Cutter::ReadCuttingParameters() {
    AsCutterFailure([&] {
        session_->SendCommand(kCmdReadParameters);
        session_->Dispatcher().WaitForReply();
        ThrowIfUnreadableReply();
    });
    return Values();
}

void Cutter::WriteScaleFactors(std::int32_t xScale, std::int32_t yScale) {
    WriteAll({CalibrationText(xScale, yScale)});
}

} // namespace zopra::cli
