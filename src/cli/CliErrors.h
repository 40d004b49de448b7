#pragma once
// How a command of zopra-cli ends: each failure is an exception whose type says which exit
// code it gives and whose text is the one line written to standard error.
#include "settings/InputError.h"

#include <stdexcept>
#include <string>

namespace zopra::cli {

enum ExitCode : int {
    kExitDone = 0,
    kExitCutterFailed = 1, // the cutter or the link failed, or did not take a setting
    kExitUsage = 2,        // the command line or an input is wrong; nothing was sent
    kExitInterrupted = 130 // Ctrl-C (128 + SIGINT, as shells count it)
};

// A wrong command line, name, value or file. Thrown before anything is written to a cutter;
// the settings layer's checks throw the same type.
using UsageError = settings::InputError;

// The cutter or its link failed: no machine, no answer, an unreadable reply, a setting
// that the cutter did not take.
class CutterFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The user pressed Ctrl-C; the command stops at its next wait and the link is closed.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("interrupted") {}
};

} // namespace zopra::cli
