#include "platform/virtual/RuntimeDir.h"

#include <algorithm>
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
        if (linkError || !fs::exists(it->path(), linkError))
            continue; // stale: the virtual cutter that made it is gone
        found.emplace_back(it->path().filename().string(), target);
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> targets;
    for (auto& entry : found)
        targets.push_back(entry.second);
    return targets;
}

} // namespace zopra::platform
