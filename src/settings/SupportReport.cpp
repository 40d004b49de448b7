#include "settings/SupportReport.h"

#include "settings/History.h"

#include "platform/LocalFiles.h"
#include "platform/SystemInfo.h"
#include "protocol/ParameterDisplay.h"

#include <system_error>
#include <utility>

namespace zopra::settings {

namespace {

void AppendCutter(const ReportContents& contents, std::string& text) {
    if (!contents.lastFailure.empty())
        text += "Last failure: " + EscapedBytes(contents.lastFailure) + "\n";
    if (!contents.cutterFailure.empty())
        text += "Reading the cutter failed: " + EscapedBytes(contents.cutterFailure) + "\n";
    if (!contents.cutter) {
        text += "No cutter was read.\n";
        return;
    }
    const MachineSettings& values = *contents.cutter;
    const ParameterDisplay shown = MakeParameterDisplay(values);
    const std::pair<const char*, std::string> lines[] = {
        {"Port", contents.cutterPort},
        {"Model", shown.model},
        {"Name", shown.cname},
        {"Version", shown.version},
        {"Date", shown.date},
        {"Time", shown.time},
        {"Paper length (mm)", shown.length},
        {"Paper width (mm)", shown.width},
        {"Speed", shown.speed},
        {"Blade force (g)", shown.force},
        {"Blade offset (um)", shown.offset},
        {"Media weight", shown.weight},
        {"Vector quality", shown.accel},
        {"Vector smooth", shown.smooth},
        {"Auto unroll", shown.unroll},
        {"Media type", shown.media},
        {"Blade holder", values.FBladeHolder == 0 ? "Metal" : "Plastic"},
        {"X scale", shown.xScale},
        {"Y scale", shown.yScale},
        {"AAS X offset (mm)", AasOffsetText(values.FAASXOffset, false)},
        {"AAS Y offset (mm)", AasOffsetText(values.FAASYOffset, false)},
    };
    for (const auto& [name, value] : lines)
        text += std::string("  ") + name + ": " + EscapedBytes(value) + "\n";
}

} // namespace

std::string_view ProgramVersion() {
    return ZOPRA_VERSION;
}

std::string SupportReportText(const ReportContents& contents) {
    std::string text = "zopra support report\n";
    text += "zopra " + std::string(ProgramVersion()) + "\n";
    text += "System: " + EscapedBytes(platform::OperatingSystemText()) + "\n\n";

    text += "Connection list:\n";
    if (contents.entries.empty())
        text += "  (empty)\n";
    for (std::size_t i = 0; i < contents.entries.size(); ++i) {
        const ConnectionEntry& entry = contents.entries[i];
        text += "  " + std::to_string(i) + "  " + EscapedBytes(entry.ListText()) + "  (" +
                LinkKindName(entry.kind) + ")\n";
    }
    for (const std::string& message : contents.listMessages)
        text += "  message: " + EscapedBytes(message) + "\n";

    text += "\nDoctor:\n";
    DoctorFindings doctor = contents.doctor;
    for (DoctorFinding& finding : doctor.findings) {
        finding.text = "  " + EscapedBytes(finding.text);
        if (!finding.advice.empty())
            finding.advice = "  " + EscapedBytes(finding.advice);
    }
    text += DoctorText(doctor);

    text += "\nCutter:\n";
    AppendCutter(contents, text);

    text +=
        "\nJournal (the cutter's last " + std::to_string(contents.journal.size()) + " writes):\n";
    if (contents.journal.empty())
        text += "  (none)\n";
    for (const JournalEntry& entry : contents.journal)
        text += "  " + std::to_string(entry.id) + "  " + EscapedBytes(entry.time) + "  " +
                EscapedBytes(HistoryLine(entry)) + "\n";

    text += "\nTraffic (the last " + std::to_string(contents.traffic.size()) +
            " exchanges; ms since the connection was opened):\n";
    text += TrafficText(contents.traffic);
    return text;
}

std::optional<std::string> WriteReportFile(const std::filesystem::path& file,
                                           const std::string& text) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(file, error);
    // A folder or device of that name would be replaced, not written to.
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        return "it is not a regular file";
    const std::string_view lineEnd = platform::TextFileLineEnd();
    std::string lines;
    lines.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == '\n')
            lines += lineEnd;
        else
            lines += c;
    }
    if (const int failure = platform::ReplaceFileAtomically(file, lines))
        return std::system_category().message(failure);
    return std::nullopt;
}

} // namespace zopra::settings
