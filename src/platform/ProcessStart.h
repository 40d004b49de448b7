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

// The program's arguments as UTF-8, the program's name first. Windows takes them from the
// wide command line, so that a name outside the ANSI code page does not arrive as "?";
// Linux takes argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

} // namespace zopra::platform
