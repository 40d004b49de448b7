#pragma once
// A stand-in cutter for people and for tests. It presents itself as a serial port (a pty),
// as a USB printer-class device (a pty read one reply at a time) or as a device of the
// vendor USB library (a SOCK_SEQPACKET socket), announces itself in the runtime directory,
// answers the cutter's queries from its state, applies settings to that state, follows
// HP-GL through a mechanism with a length error, and misbehaves on request.
//
// Every accessor may be called from any thread while the cutter runs.
#include "CutterTypes.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zopra::vc {

class VirtualCutter {
public:
    explicit VirtualCutter(Options options = {});
    ~VirtualCutter(); // stops
    VirtualCutter(const VirtualCutter&) = delete;
    VirtualCutter& operator=(const VirtualCutter&) = delete;

    // Opens the line, announces it and starts serving. Throws std::runtime_error (or
    // std::system_error) when the line or the announcement cannot be made; starting twice
    // throws std::logic_error.
    void Start();
    // Stops serving, closes the line and removes the announcement. Idempotent. Not from the
    // callbacks, which run on the cutter's own thread (that throws std::logic_error).
    void Stop();
    bool Running() const;

    // The slave device of the pty (serial, printer) or the socket (usbapi).
    std::filesystem::path DevicePath() const;
    // The symlink in the runtime directory; empty before Start and after Stop or vanishing.
    std::filesystem::path AnnouncementPath() const;
    Link GetLink() const;

    CutterState State() const;
    void SetState(const CutterState& state);

    Faults GetFaults() const;
    // Applies to the replies of commands that arrive after the call (a reply held back by
    // glue goes out at once when glue is switched off); a changed vanishAfter counts anew.
    void SetFaults(const Faults& faults);

    // Each command received, exact bytes, in order (history kept only with keepHistory).
    std::vector<std::string> Commands() const;
    // Every byte received, junk included.
    std::string Received() const;
    // Each block written to the line: one element per write (split replies give two).
    std::vector<std::string> Writes() const;
    // Commands received since Start, whether or not history is kept.
    std::size_t CommandCount() const;
    void ClearHistory();

    std::vector<Figure> Figures() const;
    std::optional<Figure> LastClosedFigure() const;

    // Waits until at least count commands have arrived (and been applied to the state) or
    // the time is up; true when they did.
    bool WaitForCommands(std::size_t count, std::chrono::milliseconds timeout) const;
    // Waits until the vanish fault has closed the line; true when it has.
    bool WaitUntilVanished(std::chrono::milliseconds timeout) const;
    bool Vanished() const;

    // Replaces the per-command callback of the options (nullptr removes it).
    void SetCommandCallback(std::function<void(const std::string& command)> callback);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace zopra::vc
