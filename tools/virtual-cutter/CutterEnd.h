#pragma once
// The cutter's end of the connection: a pseudo-terminal (serial and printer presentations)
// or a listening SOCK_SEQPACKET Unix socket (usbapi presentation), and the announcement
// that makes it visible in the runtime directory.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zopra::vc {

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { Reset(); }

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();
    void Reset(int fd = -1);

private:
    int fd_ = -1;
};

// A pipe whose read end wakes the cutter's thread out of poll().
class WakePipe {
public:
    WakePipe();
    int ReadFd() const { return read_.Get(); }
    void Wake();
    void Drain();

private:
    UniqueFd read_;
    UniqueFd write_;
};

struct Incoming {
    std::string bytes;              // what arrived; may be empty
    bool newPeer = false;           // a new connection replaced the old one
    std::vector<std::string> notes; // connection events, for the log
};

class Line {
public:
    virtual ~Line() = default;

    // The path a program opens: the pty's slave or the socket.
    virtual std::filesystem::path DevicePath() const = 0;

    // Waits until bytes arrive or the wake pipe is written to.
    virtual Incoming Wait(WakePipe& wake) = 0;

    // Writes the block in one write (one message on a socket), waiting while the line is
    // full. False when nobody can take it or stop became true while waiting.
    virtual bool Write(std::string_view block, WakePipe& wake, const std::atomic<bool>& stop) = 0;

    // Closes the line like a pulled cable; the device path disappears.
    virtual void Close() = 0;
};

// A pseudo-terminal in raw mode, so that no echo, CR translation or line editing stands
// between the program and the cutter.
std::unique_ptr<Line> OpenPtyLine();

// A listening SOCK_SEQPACKET socket at path; one connection at a time, a new one replaces
// the old.
std::unique_ptr<Line> OpenSeqpacketLine(const std::filesystem::path& path);

// Makes the folder (mode 0700) unless it exists; refuses one that is not a directory of
// ours, since the announcements must not be redirected by somebody else.
void EnsurePrivateDirectory(const std::filesystem::path& dir);

// A symlink in an announcement folder, pointing at the device, for as long as the object
// lives.
class Announcement {
public:
    // Claims the first free name of base-<pid>, base-<pid>-2, ... in dir (symlink creation
    // is atomic, so two cutters never share a name) and points it at targetFor(name).
    // Entries left by cutters whose process is gone are cleared on the way.
    Announcement(const std::filesystem::path& dir, const std::string& base,
                 const std::function<std::filesystem::path(const std::string& name)>& targetFor);
    ~Announcement();
    Announcement(const Announcement&) = delete;
    Announcement& operator=(const Announcement&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    const std::filesystem::path& Target() const { return target_; }
    const std::string& Name() const { return name_; }

private:
    std::filesystem::path path_;
    std::filesystem::path target_;
    std::string name_;
};

// An entry name from the model name: letters, digits, '-', '_' and '.' kept, every other
// byte replaced by '_'.
std::string EntryName(std::string_view model);

} // namespace zopra::vc
