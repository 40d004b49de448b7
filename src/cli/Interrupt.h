#pragma once
// Ctrl-C and SIGTERM for a command-line run: the first one only raises a flag, which every
// wait of the command looks at and every series of writes looks at before it starts, so
// the command unwinds and each link is closed by its owner; a second one ends the process
// at once.
#include <chrono>

namespace zopra::cli {

void InstallInterruptHandler();
bool InterruptRequested();

// The exit status for the signal that asked to stop, as shells count it: 128 + its
// number (130 for Ctrl-C, 143 for SIGTERM).
int InterruptExitStatus();

// Throws Interrupted once the user has asked to stop.
void ThrowIfInterrupted();

// A fixed pause of the workflows, in slices, so that Ctrl-C ends it early (Interrupted).
void Pause(std::chrono::milliseconds duration);

} // namespace zopra::cli
