#pragma once
// What the program knows about the connected cutter, in the cutter's own units, and the
// two flags that pair each query with its reply.
#include "protocol/CommandCode.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace zopra {

// The values of the record. Zero and empty until the cutter has answered.
struct MachineSettings {
    double FPaperLength = 0;   // mm, from "OH;" (units x 0.025)
    double FPaperWidth = 0;    // mm
    double FSpeed = 0;         // as sent; 1 <= speed < 30 means "Heavy" media
    double FBladeForce = 0;    // grams
    double FBladeOffset = 0;   // micrometres
    double FVectorQuality = 0; // 1, 2 "Fine"; 3, 5 "Draft"
    double FVectorSmooth = 0;  // 0 "Disable", 1 "Enable"
    double FAutoUnroll = 0;    // 0 "Disable", 1 "Enable"
    double FMediaType = 0;     // 3 "Single", else "Roll"
    double FXScale = 0;
    double FYScale = 0;
    double FAASXOffset = 0; // plotter units
    double FAASYOffset = 0; // plotter units
    double FBladeHolder = 0; // 0 "Metal", else "Plastic"
    // Set by the replies to "ESC.R3:" and "ESC.R5:": what calibration and the AAS update
    // build on came from the cutter now connected.
    bool FScalesRead = false;
    bool FAasOffsetsRead = false;
    std::string FCName;
    std::string FModelName;
    std::string FVersion;
    std::string FDate;
    std::string FTime;
};

// The record as the window owns it. The receive thread writes it (through the reply
// parser) while the interface thread reads it, so the values sit behind a lock and are
// read as a consistent copy. The flags are atomics: a reply's values are stored before
// FIdentityReady is set and before FWaitingReply is cleared (release), and a thread that
// sees a flag change (acquire) also sees those values.
class MachineRecord {
public:
    // A consistent copy of the values.
    MachineSettings Read() const {
        std::lock_guard lock(mutex_);
        return values_;
    }

    // Forgets every value and the identity flag: a new connection may be another cutter.
    void Clear() {
        Write([](MachineSettings& values) { values = MachineSettings{}; });
        FIdentityReady.store(0, std::memory_order_release);
    }

    // Changes the values under the lock: fn(MachineSettings&).
    template <class Fn> void Write(Fn&& fn) {
        std::lock_guard lock(mutex_);
        fn(values_);
    }

    // Code of the last command handed to the dispatcher; tells the parser how to read.
    std::atomic<CommandCode> FPendingCommand{kCmdNone};
    // 1 while a query's reply is outstanding.
    std::atomic<std::int32_t> FWaitingReply{0};
    // 1 once an identity reply has been parsed and not yet shown.
    std::atomic<std::int32_t> FIdentityReady{0};

private:
    mutable std::mutex mutex_;
    MachineSettings values_;
};

} // namespace zopra
