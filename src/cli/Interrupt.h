#pragma once
// Ctrl-C for a command-line run: the first SIGINT (or SIGTERM) only raises a flag, which every
// wait of the command looks at, so the command unwinds and each link is closed by its owner;
// a second Ctrl-C ends the process at once.
#include <chrono>

namespace zopra::cli {

void InstallInterruptHandler();
bool InterruptRequested();

// Throws Interrupted once the user has asked to stop.
void ThrowIfInterrupted();

// A fixed pause of the workflows, in slices, so that Ctrl-C ends it early (Interrupted).
void Pause(std::chrono::milliseconds duration);

} // namespace zopra::cli
