#pragma once
// What zopra answers on a terminal before it makes a window, the same for every toolkit.
#include <optional>
#include <string>
#include <string_view>

namespace zopra {

// The text for --help (or -h) and --version, which end the program before a window (or a
// display) is needed; nothing when neither was given and the window opens. `toolkitNote` is
// a last paragraph of the toolkit's own (empty for none).
std::optional<std::string> TerminalAnswer(int argc, char* argv[], std::string_view version,
                                          std::string_view toolkitNote);

} // namespace zopra
