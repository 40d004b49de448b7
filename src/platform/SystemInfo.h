#pragma once
// The system the program runs on, as a report names it: its name and version, and nothing
// that tells whose computer it is (no host name, no user, no path).
#include <string>

namespace zopra::platform {

// Linux: the distribution's name from os-release and the kernel's release and machine
// ("Debian GNU/Linux 12 (bookworm), Linux 6.1.0-13-amd64 x86_64"). Windows: the version
// the system reports of itself, and Wine's when the program runs under it
// ("Windows 10.0 build 19045 (Wine 8.0)").
std::string OperatingSystemText();

// The local time now, ISO 8601 with its offset from UTC: "2026-12-08T14:02:31+01:00".
std::string LocalTimeText();

} // namespace zopra::platform
