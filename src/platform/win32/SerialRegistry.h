#pragma once
// The port names under a registry key of serial ports, for the serial-port list and its
// tests (which use a key of their own).
#include <string>
#include <vector>
#include <windows.h>

namespace zopra::platform {

// The string data of every value of root\subKey, in the registry's order; values that
// cannot be read or hold no string are skipped; no key lists nothing.
std::vector<std::string> ReadPortValues(HKEY root, const char* subKey);

} // namespace zopra::platform
