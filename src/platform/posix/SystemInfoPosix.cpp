#include "platform/SystemInfo.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
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

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const long offset = local.tm_gmtoff / 60;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                  std::labs(offset) % 60);
    return text;
}

} // namespace zopra::platform
