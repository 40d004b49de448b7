#pragma once
// What each program does first, before it loads any library or reads its arguments: the
// parts of a process's start that differ per OS.
#include <string>
#include <vector>

namespace zopra::platform {

// Windows: takes the current folder and PATH out of the search for DLLs that are loaded
// later, so that a DLL of the same name in the folder a user runs the program from (say
// Downloads) is never loaded; only the system folder is searched (SetDefaultDllDirectories,
// or SetDllDirectory("") where that call is missing). Both programs call it first thing in
// their entry. Linux: nothing to do.
void RestrictDllSearch();

// Windows: Ctrl-Break, closing the console window, logoff and shutdown raise SIGINT, as
// Ctrl-C does through the C runtime, so that the one interrupt handler sees them all (the C
// runtime raises no SIGTERM there, and these events would end the process in the middle of
// a series). For a close, logoff or shutdown the process ends when the event's handler
// returns: it waits, bounded, for the program to finish first. Call it after the SIGINT
// handler is installed. Linux: nothing to do (SIGTERM and SIGHUP come as signals).
void RaiseSigintOnConsoleEvents();

// The program's arguments as UTF-8, the program's name first. Windows takes them from the
// wide command line, so that a name outside the ANSI code page does not arrive as "?";
// Linux takes argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace zopra::platform
