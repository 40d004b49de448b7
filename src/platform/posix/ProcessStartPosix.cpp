#include "platform/ProcessStart.h"

namespace zopra::platform {

// The dynamic loader takes no library from the current folder unless told to.
void RestrictDllSearch() {}

void RaiseSigintOnConsoleEvents() {}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace zopra::platform
