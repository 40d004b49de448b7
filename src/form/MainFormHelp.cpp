// Help when the cutter is not there: "Why?" beside the status line, offered when no entry of
// the list answered as a cutter or a connection failed, says what that failure means and what
// the doctor finds; "Save Report..." writes the report a user sends to support (the list, the
// findings, the last failure, the cutter read and the traffic).
#include "form/MainForm.h"
#include "form/WorkWhileWaiting.h"

#include "link/TrafficLog.h"
#include "settings/Doctor.h"
#include "settings/SupportReport.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <stdexcept>

namespace zopra {

namespace {

using Kind = LinkFailure::Kind;

// What the failure that sent the user to "Why?" means, in a user's words.
std::string MeaningOf(Kind kind) {
    switch (kind) {
    case Kind::NothingAnswered:
        return "No entry of the connection list answered as a cutter. A USB cutter answers when "
               "it is plugged in and switched on; a cutter on a serial port answers only once "
               "its port is chosen and Connect pressed.";
    case Kind::NoModemLine:
        return "The port opened, but none of its modem lines is active: no cutter is connected "
               "to it, or the cutter is switched off.";
    case Kind::PortNotOpen:
        return "The system would not open the port: it does not exist, another program holds "
               "it, or your user may not use it. The findings below say which.";
    case Kind::NoAnswer:
        return "The port opened and zopra asked the cutter who it is, but no answer came: the "
               "cutter is switched off, sits on another port, or its cable is loose.";
    case Kind::ConnectionLost:
        return "The cutter stopped answering while zopra used it: it was unplugged or switched "
               "off, or its cable came loose.";
    case Kind::None:
    case Kind::Other:
        break;
    }
    return {};
}

// The port the failure happened on, named first among the findings.
std::string PortLine(const LinkFailure& failure, std::chrono::milliseconds replyBound) {
    if (failure.port.empty())
        return {};
    const std::string firstLine = failure.message.substr(0, failure.message.find('\n'));
    switch (failure.kind) {
    case Kind::NoModemLine:
        return failure.port + ": opened, but none of its modem lines is active";
    case Kind::PortNotOpen:
        return failure.port + ": could not be opened: " + firstLine;
    case Kind::NoAnswer: {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(replyBound).count();
        const std::string bound = seconds > 0 ? std::to_string(seconds) + " s"
                                              : std::to_string(replyBound.count()) + " ms";
        return failure.port + ": opened, but nothing answered " +
               (failure.query.empty() ? std::string("the query") : EscapedBytes(failure.query)) +
               " within " + bound;
    }
    case Kind::ConnectionLost:
        return failure.port + ": connected, then the connection was lost";
    case Kind::None:
    case Kind::NothingAnswered:
    case Kind::Other:
        break;
    }
    return {};
}

} // namespace

void TMainForm_::NoteFailure(LinkFailure failure) {
    FLastFailure = std::move(failure);
}

void TMainForm_::OfferWhy(LinkFailure failure) {
    NoteFailure(std::move(failure));
    BuWhy.SetVisible(true);
}

void TMainForm_::OfferWhyForList(const std::vector<ConnectionEntry>& entries) {
    // Only a USB cutter answers before it is connected: a serial port says nothing of what
    // is on it until Connect asks.
    const bool cutterListed = std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
        return entry.kind != kLinkSerial;
    });
    if (cutterListed) {
        WithdrawWhy();
        return;
    }
    if (entries.empty())
        StatusLine.SetText("No cutter found");
    // A connection that failed since explains more than the list does.
    if (FLastFailure.kind == Kind::None || FLastFailure.kind == Kind::NothingAnswered)
        OfferWhy({Kind::NothingAnswered, "No cutter found", {}, {}});
    else
        BuWhy.SetVisible(true);
}

void TMainForm_::WithdrawWhy() {
    BuWhy.SetVisible(false);
}

settings::DoctorFindings TMainForm_::RunDoctorWhileWaiting() {
    settings::DoctorRoots roots;
    // The ports of the connection list as it stands, virtual ones too; before the first
    // discovery, those the list would show.
    std::vector<std::string> listed;
    for (const ConnectionEntry& entry : FLinks->Entries())
        if (entry.kind == kLinkSerial)
            listed.push_back(entry.text);
    if (!FLinks->Entries().empty())
        roots.ListSerialPorts = [listed] { return listed; };
    // The port this window holds would be refused to the doctor's own open.
    roots.HeldDevice = FLinks->OpenDevice();
    roots.HeldModel = FCutterRead ? FRecord.Read().FModelName : std::string();

    // Each device is opened for a moment, at most 2 s: on a worker thread, while the window
    // keeps answering and the timers' ticks wait, as during discovery.
    const Wait wait(*this);
    const TimerTickHold hold{&Timer1, &Timer2, &Timer3};
    return RunWhilePumping([roots] { return settings::RunDoctor(roots); },
                           [this] {
                               Window.ProcessPendingEvents();
                               EndWaitIfClosing();
                           },
                           std::chrono::milliseconds(10));
}

std::string TMainForm_::WhyText(const settings::DoctorFindings& findings) {
    std::string text;
    if (FLastFailure.kind != Kind::None) {
        text += FLastFailure.message + "\n";
        if (const std::string meaning = MeaningOf(FLastFailure.kind); !meaning.empty())
            text += meaning + "\n";
        if (const std::string port = PortLine(FLastFailure, FSession.Dispatcher().ReplyBound());
            !port.empty())
            text += "\n" + port + "\n";
        text += "\nWhat zopra finds on this computer:\n";
    }
    return text + settings::DoctorText(findings);
}

void TMainForm_::BuWhyClick() {
    const std::string text = WhyText(RunDoctorWhileWaiting());
    if (Window.ShowFindings(text))
        Window.CopyToClipboard(text);
}

void TMainForm_::BuSaveReportClick() {
    const std::optional<std::string> picked =
        Window.ChooseFileToSave("Save Report", "zopra-report.txt", FileDialogFolder());
    if (!picked)
        return;
    const std::string& chosen = *picked;
    RememberFileFolder(chosen);
    settings::ReportContents contents;
    contents.entries = FLinks->Entries();
    if (FCutterRead) {
        contents.cutter = FSession.Known().Now().values;
        contents.cutterPort = ChosenPort();
        ShowHistory();
        contents.journal = FHistory;
        if (contents.journal.size() > 20)
            contents.journal.erase(contents.journal.begin(), contents.journal.end() - 20);
    }
    contents.lastFailure = FLastFailure.message;
    contents.traffic = FSession.Traffic().Exchanges();
    contents.doctor = RunDoctorWhileWaiting();
    const std::filesystem::path file(std::u8string(chosen.begin(), chosen.end()));
    if (const auto failure = settings::WriteReportFile(file, settings::SupportReportText(contents)))
        throw std::runtime_error("The report could not be saved to " + chosen + ": " + *failure);
    StatusLine.SetText("Report saved to " + chosen);
}

} // namespace zopra
