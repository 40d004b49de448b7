#include "platform/SystemInfo.h"

#include <fstream>
#include <sys/utsname.h>

namespace zopra::platform {

namespace {

// PRETTY_NAME of os-release, unquoted; "" when there is none.
std::string DistributionName() {
    for (const char* file : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(file);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("PRETTY_NAME=", 0) != 0)
                continue;
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\''))
                value = value.substr(1, value.size() - 2);
            return value;
        }
    }
    return {};
}

} // namespace

std::string OperatingSystemText() {
    std::string text = DistributionName();
    // Never the node name: that is the computer's own name.
    utsname names{};
    if (::uname(&names) == 0)
        text += (text.empty() ? "" : ", ") + std::string(names.sysname) + " " + names.release +
                " " + names.machine;
    return text.empty() ? "unknown" : text;
}

} // namespace zopra::platform
