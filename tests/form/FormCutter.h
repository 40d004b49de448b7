#pragma once
// The cutter behind the form in a form test, in the test's own process. On Linux it is the
// virtual cutter on its serial presentation (a pty), so the form's bytes go through the real
// serial stack; on Windows, where the virtual cutter's lines (ptys, Unix sockets) do not
// exist, it is the same cutter model behind a vendor USB library in memory.
#include "link/Connections.h"
#include "virtual-cutter/CutterTypes.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace zopra::testing {

class FormCutter {
public:
    virtual ~FormCutter() = default;

    // The links through which a form reaches this cutter.
    virtual std::unique_ptr<CutterConnections> MakeLinks() const = 0;
    // The connection list's entry for this cutter.
    virtual std::string Entry() const = 0;

    // Each command received since the last ClearHistory, exact bytes, in order.
    virtual std::vector<std::string> Commands() const = 0;
    virtual void ClearHistory() = 0;
    virtual vc::CutterState State() const = 0;
    virtual void SetState(const vc::CutterState& state) = 0;

    // Waits until `count` commands have arrived since the last ClearHistory; true when they
    // did within the bound.
    bool WaitForCommands(std::size_t count,
                         std::chrono::milliseconds bound = std::chrono::seconds(5)) const;
};

// Starts a cutter as `options` say (presentation, state, length error, log callback); the
// options' faults and presentation other than serial are for the Linux cutter only.
std::unique_ptr<FormCutter> StartFormCutter(vc::Options options);

// The presentations a workflow test runs on here: the serial one, and on Linux the USB
// printer class too.
std::vector<vc::Link> FormCutterLinks();

} // namespace zopra::testing
