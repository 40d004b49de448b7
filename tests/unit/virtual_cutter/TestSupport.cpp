#include "TestSupport.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace zopra::vc::test {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int Remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits for input on fd; false when the time ran out.
bool WaitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        const int result = poll(&p, 1, Remaining(deadline));
        if (result > 0)
            return true;
        if (result == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

ScopedRuntimeDir::ScopedRuntimeDir() {
    // Short, because a socket path must fit in 108 bytes.
    char pattern[] = "/tmp/vct-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        Fail("mkdtemp");
    base_ = pattern;
    root_ = base_ / "zopra";
    if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
        previous_ = old;
    setenv("XDG_RUNTIME_DIR", base_.c_str(), 1);
}

ScopedRuntimeDir::~ScopedRuntimeDir() {
    if (previous_)
        setenv("XDG_RUNTIME_DIR", previous_->c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    std::error_code ec;
    fs::remove_all(base_, ec);
}

bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (condition())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
}

PtyClient::PtyClient(const fs::path& device, int flags) {
    fd_ = open(device.c_str(), (flags == 0 ? O_RDWR : flags) | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0)
        Fail("opening " + device.string());
}

PtyClient::~PtyClient() {
    if (fd_ >= 0)
        close(fd_);
}

void PtyClient::Write(const std::string& bytes) {
    if (write(fd_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        Fail("writing to the pty");
}

std::optional<std::string> PtyClient::ReadOnce(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (WaitReadable(fd_, deadline)) {
        char buffer[4096];
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0)
            return std::string(buffer, static_cast<std::size_t>(n));
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return std::nullopt; // hung up
    }
    return std::nullopt;
}

std::string PtyClient::ReadUntil(const std::string& end, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string got;
    while (got.size() < end.size() || got.compare(got.size() - end.size(), end.size(), end) != 0) {
        const auto chunk = ReadOnce(std::chrono::milliseconds(Remaining(deadline)));
        if (!chunk)
            break;
        got += *chunk;
    }
    return got;
}

std::string PtyClient::ReadCount(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string got;
    while (got.size() < count) {
        const auto chunk = ReadOnce(std::chrono::milliseconds(Remaining(deadline)));
        if (!chunk)
            break;
        got += *chunk;
    }
    return got;
}

SocketClient::SocketClient(const fs::path& socketPath) {
    fd_ = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        Fail("socket");
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    if (connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd_);
        Fail("connecting to " + socketPath.string());
    }
}

SocketClient::~SocketClient() {
    if (fd_ >= 0)
        close(fd_);
}

void SocketClient::Send(const std::string& message) {
    if (send(fd_, message.data(), message.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(message.size()))
        Fail("sending");
}

std::optional<std::string> SocketClient::Receive(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    if (!WaitReadable(fd_, deadline))
        return std::nullopt;
    char buffer[4096];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n <= 0)
        return std::nullopt;
    return std::string(buffer, static_cast<std::size_t>(n));
}

} // namespace zopra::vc::test
