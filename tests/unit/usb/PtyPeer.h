#pragma once
// The device end of a pseudo-terminal, standing in for a printer-class cutter: the code
// under test opens the slave as it opens /dev/usb/lpN, the test reads and answers here.
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <unistd.h>

namespace zopra::test {

class PtyPeer {
public:
    PtyPeer() {
        FMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FMaster < 0 || ::grantpt(FMaster) != 0 || ::unlockpt(FMaster) != 0)
            throw std::runtime_error("no pseudo-terminal");
        FSlave = ::ptsname(FMaster);
    }
    ~PtyPeer() { Close(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& SlavePath() const { return FSlave; }

    // The device vanishes: the slave's reads and writes fail from now on.
    void Close() {
        if (FMaster >= 0)
            ::close(FMaster);
        FMaster = -1;
    }

    // Reads until `count` bytes came or `bound` passed.
    std::string Read(std::size_t count, std::chrono::milliseconds bound) {
        std::string got;
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd pfd{FMaster, POLLIN, 0};
            if (::poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(FMaster, buffer, std::min(sizeof buffer, count - got.size()));
            if (n <= 0)
                break;
            got.append(buffer, static_cast<std::size_t>(n));
        }
        return got;
    }

    void Write(const std::string& bytes) {
        if (::write(FMaster, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write failed");
    }

private:
    int FMaster = -1;
    std::string FSlave;
};

} // namespace zopra::test
