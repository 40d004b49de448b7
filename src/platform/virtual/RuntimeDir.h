#pragma once
// Where virtual devices announce themselves, as plugged hardware would:
// $XDG_RUNTIME_DIR/zopra/<kind>/<name> (or /tmp/zopra-<uid>/...), each entry a symlink
// to the device node or socket, named "<name>-<pid>[_n]" by the process that serves it. An
// entry whose target or process is gone is stale and ignored.
#include <filesystem>
#include <string_view>
#include <vector>

namespace zopra::platform {

// The root folder; it is not created here.
std::filesystem::path RuntimeDir();

// The folder of one kind ("serial", "printer", "usbapi").
std::filesystem::path AnnouncementDir(std::string_view kind);

// The live announcements of one kind: the targets of the symlinks whose target
// exists, ordered by entry name.
std::vector<std::filesystem::path> AnnouncedDevices(std::string_view kind);

} // namespace zopra::platform
