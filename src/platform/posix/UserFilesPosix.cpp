// The user's settings folder after the XDG base directory rules, and flock on a lock file.
#include "platform/UserFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace zopra::platform {

namespace {

std::filesystem::path AbsoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/')
        return {}; // XDG: a relative base directory is ignored
    return value;
}

class FlockLock final : public FileLock {
public:
    explicit FlockLock(int fd) : fd_(fd) {}
    ~FlockLock() override { ::close(fd_); } // closing releases the lock

private:
    int fd_;
};

} // namespace

std::filesystem::path UserSettingsFolder() {
    std::filesystem::path base = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    if (base.empty()) {
        const std::filesystem::path home = AbsoluteFromEnvironment("HOME");
        if (home.empty())
            return {};
        base = home / ".config";
    }
    return base / "zopra";
}

std::filesystem::path UserDocumentsFolder() {
    const std::filesystem::path home = AbsoluteFromEnvironment("HOME");
    // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Dokumente": a path that
    // starts with $HOME/ or is absolute (the only forms the desktop writes).
    std::filesystem::path config = AbsoluteFromEnvironment("XDG_CONFIG_HOME");
    if (config.empty() && !home.empty())
        config = home / ".config";
    std::ifstream dirs(config / "user-dirs.dirs");
    const std::string key = "XDG_DOCUMENTS_DIR=\"";
    for (std::string line; !config.empty() && std::getline(dirs, line);) {
        if (line.rfind(key, 0) != 0 || line.size() < key.size() + 1 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        std::filesystem::path folder;
        if (value.rfind("$HOME/", 0) == 0 && !home.empty())
            folder = home / value.substr(6);
        else if (!value.empty() && value.front() == '/')
            folder = value;
        std::error_code error;
        // A folder named but since removed is no place to start a dialog in.
        if (!folder.empty() && std::filesystem::is_directory(folder, error))
            return folder;
    }
    return home;
}

LockResult LockFile(const std::filesystem::path& path, std::chrono::milliseconds bound) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOCTTY | O_CLOEXEC, 0600);
    if (fd < 0)
        return {nullptr, errno, false};
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return {std::make_unique<FlockLock>(fd), 0, false};
        const int error = errno;
        if (error != EWOULDBLOCK && error != EINTR) {
            ::close(fd);
            return {nullptr, error, false};
        }
        if (std::chrono::steady_clock::now() >= end) {
            ::close(fd);
            return {nullptr, EWOULDBLOCK, true};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace zopra::platform
