#pragma once
// The virtual-cutter program's command line, turned into the library's options.
#include "CutterTypes.h"

#include <string>
#include <vector>

namespace zopra::vc {

struct CommandLine {
    Options options;
    bool help = false;
    bool log = false;
};

// args: the arguments after the program name. Each option takes "--name value" or
// "--name=value". Throws std::invalid_argument with a message that names the option.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// The text --help prints.
std::string Usage();

} // namespace zopra::vc
