#include "platform/virtual/RuntimeDir.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <string>
#include <system_error>
#include <unistd.h>

namespace zopra::platform {

namespace fs = std::filesystem;

fs::path RuntimeDir() {
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    if (xdg != nullptr && *xdg != '\0')
        return fs::path(xdg) / "zopra";
    return fs::path("/tmp") / ("zopra-" + std::to_string(getuid()));
}

namespace {

// Entries are named "<name>-<pid>" or "<name>-<pid>_<n>". A pty of a killed cutter may be
// reused by someone's terminal, so an entry whose process is gone is stale even when its
// target still exists.
bool OwnerIsGone(const std::string& entryName) {
    const auto dash = entryName.rfind('-');
    if (dash == std::string::npos)
        return false;
    std::string pid = entryName.substr(dash + 1);
    pid = pid.substr(0, pid.find('_'));
    if (pid.empty() || pid.size() > 9 || pid.find_first_not_of("0123456789") != std::string::npos)
        return false;
    return ::kill(static_cast<pid_t>(std::stol(pid)), 0) != 0 && errno == ESRCH;
}

} // namespace

fs::path AnnouncementDir(std::string_view kind) { return RuntimeDir() / std::string(kind); }

std::vector<fs::path> AnnouncedDevices(std::string_view kind) {
    std::vector<std::pair<std::string, fs::path>> found;
    std::error_code ec;
    for (fs::directory_iterator it(AnnouncementDir(kind), ec), end; !ec && it != end;
         it.increment(ec)) {
        std::error_code linkError;
        if (!it->is_symlink(linkError))
            continue;
        fs::path target = fs::read_symlink(it->path(), linkError);
        const std::string name = it->path().filename().string();
        if (linkError || !fs::exists(it->path(), linkError) || OwnerIsGone(name))
            continue; // stale: the virtual cutter that made it is gone
        found.emplace_back(name, target);
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> targets;
    for (auto& entry : found)
        targets.push_back(entry.second);
    return targets;
}

} // namespace zopra::platform
