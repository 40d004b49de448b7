#include "CutterEnd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace zopra::vc {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

int PollRetrying(pollfd* fds, nfds_t count, int timeoutMs) {
    for (;;) {
        const int result = poll(fds, count, timeoutMs);
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

// Waits until fd can take more bytes or the wake pipe is written to.
void WaitWritable(int fd, WakePipe& wake) {
    pollfd fds[2] = {{wake.ReadFd(), POLLIN, 0}, {fd, POLLOUT, 0}};
    PollRetrying(fds, 2, -1);
    if (fds[0].revents != 0)
        wake.Drain();
}

constexpr std::size_t kReadChunk = 4096;
// Larger than anything the program sends in one message.
constexpr std::size_t kMessageCapacity = 65536;

class PtyLine final : public Line {
public:
    PtyLine() {
        master_.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!master_.Valid())
            ThrowErrno("posix_openpt");
        if (grantpt(master_.Get()) != 0 || unlockpt(master_.Get()) != 0)
            ThrowErrno("unlocking the pseudo-terminal");
        char name[128];
        if (ptsname_r(master_.Get(), name, sizeof name) != 0)
            ThrowErrno("ptsname_r");
        path_ = name;

        // Holding the slave open ourselves keeps the master from hanging up whenever the
        // program closes its handles, and keeps the raw settings for every later open.
        slave_.Reset(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
        if (!slave_.Valid())
            ThrowErrno(std::string("opening ") + name);
        termios settings{};
        if (tcgetattr(slave_.Get(), &settings) != 0)
            ThrowErrno("tcgetattr");
        cfmakeraw(&settings);
        cfsetispeed(&settings, B57600);
        cfsetospeed(&settings, B57600);
        if (tcsetattr(slave_.Get(), TCSANOW, &settings) != 0)
            ThrowErrno("tcsetattr");

        const int flags = fcntl(master_.Get(), F_GETFL);
        if (flags < 0 || fcntl(master_.Get(), F_SETFL, flags | O_NONBLOCK) != 0)
            ThrowErrno("fcntl");
    }

    fs::path DevicePath() const override { return path_; }

    Incoming Wait(WakePipe& wake) override {
        Incoming in;
        pollfd fds[2] = {{wake.ReadFd(), POLLIN, 0}, {master_.Get(), POLLIN, 0}};
        const nfds_t count = master_.Valid() ? 2 : 1;
        if (PollRetrying(fds, count, -1) < 0)
            return in;
        if (fds[0].revents != 0)
            wake.Drain();
        if (count == 2 && fds[1].revents != 0) {
            char buffer[kReadChunk];
            const ssize_t n = read(master_.Get(), buffer, sizeof buffer);
            if (n > 0) {
                in.bytes.assign(buffer, static_cast<std::size_t>(n));
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                // Cannot happen while we hold the slave; if it does, do not spin on it.
                in.notes.push_back(std::string("line error: ") + std::strerror(errno));
                pollfd only = {wake.ReadFd(), POLLIN, 0};
                PollRetrying(&only, 1, 100);
            }
        }
        return in;
    }

    bool Write(std::string_view block, WakePipe& wake, const std::atomic<bool>& stop) override {
        while (!block.empty()) {
            if (stop.load() || !master_.Valid())
                return false;
            const ssize_t n = write(master_.Get(), block.data(), block.size());
            if (n > 0)
                block.remove_prefix(static_cast<std::size_t>(n));
            else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                WaitWritable(master_.Get(), wake);
            else if (n < 0 && errno == EINTR)
                continue;
            else
                return false;
        }
        return true;
    }

    void Close() override {
        master_.Reset();
        slave_.Reset();
    }

private:
    UniqueFd master_;
    UniqueFd slave_;
    fs::path path_;
};

class SeqpacketLine final : public Line {
public:
    explicit SeqpacketLine(const fs::path& path) : path_(path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const std::string text = path.string();
        if (text.size() >= sizeof address.sun_path)
            throw std::runtime_error("socket path too long for a Unix socket: " + text);
        std::memcpy(address.sun_path, text.c_str(), text.size() + 1);

        listen_.Reset(socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0));
        if (!listen_.Valid())
            ThrowErrno("socket");
        // A socket file left by a cutter that died with our name (same pid) is dead.
        struct stat st {};
        if (lstat(text.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
            unlink(text.c_str());
        if (bind(listen_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            ThrowErrno("binding " + text);
        bound_ = true;
        if (listen(listen_.Get(), 4) != 0)
            ThrowErrno("listen");
    }

    ~SeqpacketLine() override { Close(); }

    fs::path DevicePath() const override { return path_; }

    Incoming Wait(WakePipe& wake) override {
        Incoming in;
        pollfd fds[3] = {{wake.ReadFd(), POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLIN, 0}};
        fds[1].fd = listen_.Get(); // negative descriptors are skipped by poll
        fds[2].fd = connection_.Get();
        if (PollRetrying(fds, 3, -1) < 0)
            return in;
        if (fds[0].revents != 0)
            wake.Drain();
        // Bytes of the old peer come first; a waiting new connection is taken next time.
        if (fds[2].revents != 0) {
            ReadMessage(in);
            return in;
        }
        if (fds[1].revents != 0) {
            UniqueFd accepted(
                accept4(listen_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (accepted.Valid()) {
                in.notes.push_back(connection_.Valid() ? "new connection replaces the old one"
                                                       : "connected");
                connection_ = std::move(accepted);
                in.newPeer = true;
            }
        }
        return in;
    }

    bool Write(std::string_view block, WakePipe& wake, const std::atomic<bool>& stop) override {
        while (!stop.load() && connection_.Valid()) {
            const ssize_t n =
                send(connection_.Get(), block.data(), block.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n >= 0)
                return true; // a message goes whole or not at all
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                WaitWritable(connection_.Get(), wake);
            else if (errno != EINTR)
                connection_.Reset();
        }
        return false;
    }

    void Close() override {
        connection_.Reset();
        listen_.Reset();
        if (bound_) {
            unlink(path_.c_str());
            bound_ = false;
        }
    }

private:
    void ReadMessage(Incoming& in) {
        std::string buffer(kMessageCapacity, '\0');
        const ssize_t n = recv(connection_.Get(), buffer.data(), buffer.size(), 0);
        if (n > 0) {
            buffer.resize(static_cast<std::size_t>(n));
            in.bytes = std::move(buffer);
        } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            in.notes.push_back("disconnected");
            connection_.Reset();
        }
    }

    fs::path path_;
    UniqueFd listen_;
    UniqueFd connection_;
    bool bound_ = false;
};

} // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other)
        Reset(other.Release());
    return *this;
}

int UniqueFd::Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::Reset(int fd) {
    if (fd_ >= 0)
        close(fd_);
    fd_ = fd;
}

WakePipe::WakePipe() {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        ThrowErrno("pipe2");
    read_.Reset(fds[0]);
    write_.Reset(fds[1]);
}

void WakePipe::Wake() {
    const char byte = 1;
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t n = write(write_.Get(), &byte, 1);
}

void WakePipe::Drain() {
    char buffer[64];
    while (read(read_.Get(), buffer, sizeof buffer) > 0) {
    }
}

std::unique_ptr<Line> OpenPtyLine() {
    return std::make_unique<PtyLine>();
}

std::unique_ptr<Line> OpenSeqpacketLine(const fs::path& path) {
    return std::make_unique<SeqpacketLine>(path);
}

void EnsurePrivateDirectory(const fs::path& dir) {
    if (mkdir(dir.c_str(), 0700) == 0)
        return;
    if (errno == ENOENT) {
        std::error_code ec;
        fs::create_directories(dir.parent_path(), ec);
        if (mkdir(dir.c_str(), 0700) == 0)
            return;
    }
    if (errno != EEXIST)
        ThrowErrno("creating " + dir.string());
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0)
        ThrowErrno("examining " + dir.string());
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid())
        throw std::runtime_error(dir.string() + " is not a directory of this user");
}

namespace {

// The process id in an entry name "<base>-<pid>" or "<base>-<pid>_<n>"; 0 when there is
// none. The base may hold '-' itself, our suffix never does.
pid_t EntryPid(const std::string& name) {
    const auto dash = name.rfind('-');
    if (dash == std::string::npos)
        return 0;
    const std::string suffix = name.substr(dash + 1, name.find('_', dash) - dash - 1);
    if (suffix.empty() || suffix.size() > 9 ||
        suffix.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return static_cast<pid_t>(std::stol(suffix));
}

// Entries of cutters that were killed before they could clean up: the process is gone, so
// the entry (and the socket it points at) can never come back to life.
void PruneDeadEntries(const fs::path& dir) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (!it->is_symlink(entryError))
            continue;
        const pid_t pid = EntryPid(it->path().filename().string());
        if (pid <= 0 || pid == getpid() || kill(pid, 0) == 0 || errno != ESRCH)
            continue;
        const fs::path target = fs::read_symlink(it->path(), entryError);
        struct stat st {};
        if (!entryError && lstat(target.c_str(), &st) == 0 && S_ISSOCK(st.st_mode))
            unlink(target.c_str());
        fs::remove(it->path(), entryError);
    }
}

} // namespace

Announcement::Announcement(const fs::path& dir, const std::string& base,
                           const std::function<fs::path(const std::string&)>& targetFor) {
    PruneDeadEntries(dir);
    const std::string stem = base + "-" + std::to_string(getpid());
    for (int n = 1; n <= 1000; ++n) {
        name_ = n == 1 ? stem : stem + "_" + std::to_string(n);
        path_ = dir / name_;
        target_ = targetFor(name_);
        if (symlink(target_.c_str(), path_.c_str()) == 0)
            return;
        if (errno != EEXIST)
            ThrowErrno("announcing " + path_.string());
    }
    throw std::runtime_error("no free announcement name for " + stem + " in " + dir.string());
}

Announcement::~Announcement() {
    // Remove only what is still ours.
    std::error_code ec;
    if (fs::read_symlink(path_, ec) == target_ && !ec)
        fs::remove(path_, ec);
}

std::string EntryName(std::string_view model) {
    std::string name;
    for (char c : model) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                          (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name += keep ? c : '_';
    }
    if (name.empty() || name.front() == '.')
        name.insert(0, "cutter");
    return name;
}

} // namespace zopra::vc
