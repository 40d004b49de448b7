// Help when the cutter is not there: "Why?" beside the status line, offered when the list
// comes out empty or a connection fails, shows what the doctor finds; "Save Report..." writes
// the report a user sends to support (the list, the findings, the cutter read and the traffic).
#include "form/MainForm.h"
#include "form/WorkWhileWaiting.h"

#include "settings/Doctor.h"
#include "settings/SupportReport.h"

#include <filesystem>
#include <optional>
#include <stdexcept>

namespace zopra {

void TMainForm_::OfferWhy(const std::string& status) {
    if (!status.empty())
        StatusLine.SetText(status);
    BuWhy.SetVisible(true);
}

void TMainForm_::OfferWhyForList(const std::vector<ConnectionEntry>& entries) {
    if (entries.empty())
        OfferWhy("No cutter found");
    else
        WithdrawWhy();
}

void TMainForm_::WithdrawWhy() {
    BuWhy.SetVisible(false);
}

void TMainForm_::BuWhyClick() {
    std::string findings;
    {
        // Each device is opened for a moment, at most 2 s: on a worker thread, while the
        // window keeps answering.
        const Wait wait(*this);
        findings = RunWhilePumping([] { return settings::DoctorText(settings::RunDoctor()); },
                                   [this] {
                                       Window.ProcessPendingEvents();
                                       EndWaitIfClosing();
                                   },
                                   std::chrono::milliseconds(10));
    }
    if (Window.ShowFindings(findings))
        Window.CopyToClipboard(findings);
}

void TMainForm_::BuSaveReportClick() {
    const std::optional<std::string> picked =
        Window.ChooseFileToSave("Save Report", "zopra-report.txt");
    if (!picked)
        return;
    const std::string& chosen = *picked;
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
    contents.traffic = FSession.Traffic().Exchanges();
    {
        const Wait wait(*this);
        contents.doctor = settings::RunDoctor();
    }
    const std::filesystem::path file(std::u8string(chosen.begin(), chosen.end()));
    if (const auto failure = settings::WriteReportFile(file, settings::SupportReportText(contents)))
        throw std::runtime_error("The report could not be saved to " + chosen + ": " + *failure);
    Window.ShowMessage(MessageKind::Message, "The report was saved to " + chosen + ".");
}

} // namespace zopra
