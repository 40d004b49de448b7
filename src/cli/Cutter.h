#pragma once
// One cutter as the command line drives it: its own CutterSession (record, links,
// dispatcher, receive thread), opened on one entry of the connection list, and the
// window's workflows over it, with the same writes in the same order and the same pauses.
#include "link/Connections.h"
#include "link/CutterSession.h"
#include "protocol/Commands.h"
#include "protocol/Ladder.h"
#include "protocol/MachineSettings.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace zopra::cli {

// An entry of the connection list that a command names: its list position (-1 for a typed
// text that is not in the list) and its text.
struct Target {
    int position = -1;
    std::string text;
};

// The connection list, as the window's drop-down fills it. Device messages ("Error Read
// Handle", ...) are added to `messages`.
std::vector<ConnectionEntry> DiscoverConnections(std::vector<std::string>& messages);

// DEVICE as the user wrote it: a list position ("0", "1", ...), an entry's text, or a
// serial port or vendor device that the list does not show ("COM3", "/dev/ttyUSB0",
// "QRM USB1"). UsageError for anything else.
Target ResolveDevice(const std::string& device, const std::vector<ConnectionEntry>& entries);

class Cutter {
public:
    // Nothing is opened yet; `entries` is the list that `target` refers to.
    Cutter(std::vector<ConnectionEntry> entries, Target target,
           std::chrono::milliseconds replyBound);
    ~Cutter();

    Cutter(const Cutter&) = delete;
    Cutter& operator=(const Cutter&) = delete;

    const std::string& Text() const { return target_.text; }

    // Chooses the link kind and opens the link. CutterFailure("No Machine Connected") for a
    // serial port without an active modem line, or the serial component's error.
    void Open();

    // The read of the connect button: the queries in the window's order, each after the
    // reply to the one before, the 200 ms pause, then the AAS offsets for the models that
    // have them. CutterFailure when a reply does not come within the bound or cannot be read.
    MachineSettings ReadParameters();

    // True when the last read included the blade holder (not on a "QT-24" entry).
    bool ReadsBladeHolder() const;

    // The "Update" button's nine writes, back to back.
    void WriteSettings(const SettingsUpdate& update);

    // STEP1 and STEP2 through the dispatcher, from the sizes as typed.
    void PlotTestSquare(const CommandInputs& inputs);
    void Calibrate(const CommandInputs& inputs);

    // The AAS offset update: its two writes, the window's 2000 ms pause, then the connect
    // action again (the link is opened anew) and a fresh read.
    MachineSettings WriteAasOffsetsAndReread(std::int64_t x, std::int64_t y);

    // The test cut's pattern of `side` plotter units, one write.
    void CutTestPattern(std::int32_t side);
    // A ladder's strip as one series: a write that fails stops it and the old values are
    // written back all the same (what went out and how far is in the result).
    StripRun CutStrip(const LadderStrip& strip);
    // "ESC.R1:" alone: the seven cutting parameters read back after an update.
    MachineSettings ReadCuttingParameters();

    // Writes the calibration block with these scale factors as they stand (for restore).
    void WriteScaleFactors(std::int32_t xScale, std::int32_t yScale);

    MachineSettings Values() const { return session_->Record().Read(); }
    // Writes that went out whole since the cutter was made: a journal entry of a workflow
    // that failed says how far it got.
    int WritesSent() const { return session_->WritesSent(); }
    const CutterSession& Session() const { return *session_; }
    // What went over the wire so far, for the report.
    std::vector<TrafficExchange> Traffic() const { return session_->Traffic().Exchanges(); }

private:
    void WriteAll(const std::vector<std::string>& writes);
    void ThrowIfUnreadableReply();

    Target target_;
    std::unique_ptr<CutterSession> session_;
};

} // namespace zopra::cli
