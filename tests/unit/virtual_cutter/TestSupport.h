#pragma once
// Both ends of a test: a private runtime directory, a client on the cutter's pty or socket,
// and bounded waits.
#include "virtual-cutter/CommandReader.h"
#include "virtual-cutter/VirtualCutter.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zopra::vc::test {

using namespace std::chrono_literals;

// Generous: only a broken cutter ever takes this long.
constexpr std::chrono::milliseconds kWait = 5s;

// Announcements of this test go to a fresh folder (XDG_RUNTIME_DIR), so that tests running
// side by side and a virtual cutter on the desk do not see each other.
class ScopedRuntimeDir {
public:
    ScopedRuntimeDir();
    ~ScopedRuntimeDir();
    const std::filesystem::path& Root() const { return root_; } // the zopra folder in it

private:
    std::filesystem::path base_;
    std::filesystem::path root_;
    std::optional<std::string> previous_;
};

// Polls the condition every millisecond until it holds or the time is up.
bool Eventually(const std::function<bool()>& condition, std::chrono::milliseconds timeout = kWait);

// A program's end of a pty: the slave opened like a serial port.
class PtyClient {
public:
    explicit PtyClient(const std::filesystem::path& device, int flags = 0);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    void Write(const std::string& bytes);
    // One read() once bytes are there; nullopt when none came in time.
    std::optional<std::string> ReadOnce(std::chrono::milliseconds timeout = kWait);
    // Reads until the bytes end with end (a reply's CR, say); what came, complete or not.
    std::string ReadUntil(const std::string& end, std::chrono::milliseconds timeout = kWait);
    // Reads exactly count bytes unless the time runs out first.
    std::string ReadCount(std::size_t count, std::chrono::milliseconds timeout = kWait);
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
};

// A program's end of the usbapi socket.
class SocketClient {
public:
    explicit SocketClient(const std::filesystem::path& socket);
    ~SocketClient();
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    void Send(const std::string& message);
    // One message; nullopt when none came in time.
    std::optional<std::string> Receive(std::chrono::milliseconds timeout = kWait);

private:
    int fd_ = -1;
};

} // namespace zopra::vc::test
