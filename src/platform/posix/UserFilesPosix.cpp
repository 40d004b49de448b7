// The user's settings folder after the XDG base directory rules, and flock on a lock file.
#include "platform/UserFiles.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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
