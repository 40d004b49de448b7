#pragma once
// The report a user sends when a cutter is not found or misbehaves: one text file with the
// program's version, the system, the connection list, the doctor's findings, the cutter read
// (identity and settings), its last journal entries and the session's traffic. Written by zopra-cli
// `report` and by the window's "Save Report...". Nothing else of the user's computer goes in: no
// environment, no user or host name, no path but the devices' own.
#include "link/Connections.h"
#include "link/TrafficLog.h"
#include "protocol/MachineSettings.h"
#include "settings/Doctor.h"
#include "settings/Journal.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zopra::settings {

struct ReportContents {
    std::vector<ConnectionEntry> entries;
    std::vector<std::string> listMessages; // what the list's discovery said ("Error Read Handle")
    DoctorFindings doctor;
    // The cutter read in this session, and the port it is on; nothing when none was read.
    std::optional<MachineSettings> cutter;
    std::string cutterPort;
    std::string cutterFailure; // why reading the cutter failed; "" when it did not
    std::string lastFailure;   // the window's last failure message ("Port not open (Error: 1)")
    std::vector<TrafficExchange> traffic;
    // The cutter's last journal entries (at most 20), oldest first.
    std::vector<JournalEntry> journal;
};

// "2.4.3".
std::string_view ProgramVersion();

// The report's text; every line is printable, whatever the cutter sent.
std::string SupportReportText(const ReportContents& contents);

// Writes `text` to `file` in one step (a temporary file beside it, renamed over it), so that
// a failure leaves no half-written report; its lines end as the system's text files do (CR LF
// on Windows). The message of a failure, or nothing.
std::optional<std::string> WriteReportFile(const std::filesystem::path& file,
                                           const std::string& text);

} // namespace zopra::settings
