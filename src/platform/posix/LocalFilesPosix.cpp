// Backup files on Linux: open, fstat, poll and fsync on plain descriptors.
#include "platform/LocalFiles.h"
#include "platform/Trace.h"

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace zopra::platform {

namespace {

namespace fs = std::filesystem;
using Status = InputRead::Status;

// The error of a failed call; never 0, so that a failure never reads as success.
int LastErrno() {
    return errno != 0 ? errno : EIO;
}

class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    // 0, or the error of close(): on some file systems a failed write shows only here.
    int Close() {
        if (fd_ < 0)
            return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : LastErrno();
    }

private:
    int fd_;
};

InputRead Failure(int error) {
    return {Status::Failed, {}, error};
}

// Appends one read's worth from `fd`; false at the end. EINTR and EAGAIN read nothing.
bool ReadSome(int fd, std::string& bytes, int& error) {
    char chunk[16384];
    const ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got > 0) {
        bytes.append(chunk, static_cast<std::size_t>(got));
        return true;
    }
    if (got == 0)
        return false;
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
        error = LastErrno();
    return error == 0;
}

int WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? LastErrno() : EIO;
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return 0;
}

std::string RandomSuffix() {
    std::random_device random;
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string suffix;
    for (int i = 0; i < 12; ++i)
        suffix += kDigits[random() % 16];
    return suffix;
}

} // namespace

InputRead ReadRegularFile(const fs::path& path, std::size_t limit) {
    // Looked at before the open: opening a device can already do something (a tape
    // rewinds), and a FIFO's open waits for a writer.
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0)
        return Failure(LastErrno());
    if (!S_ISREG(before.st_mode))
        return {Status::NotRegularFile, {}, 0};
    // Non-blocking and checked again, for a file swapped for something else in between.
    Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file.Valid())
        return Failure(LastErrno());
    struct stat opened {};
    if (::fstat(file.Get(), &opened) != 0)
        return Failure(LastErrno());
    if (!S_ISREG(opened.st_mode))
        return {Status::NotRegularFile, {}, 0};
    InputRead result{Status::Done, {}, 0};
    while (result.bytes.size() <= limit)
        if (!ReadSome(file.Get(), result.bytes, result.error))
            break;
    if (result.error != 0)
        result.status = Status::Failed;
    else if (result.bytes.size() > limit)
        result = {Status::TooLarge, {}, 0};
    return result;
}

InputRead ReadStandardInput(std::size_t limit, const std::function<bool()>& stop) {
    constexpr int kSliceMs = 20;
    InputRead result{Status::Done, {}, 0};
    for (;;) {
        if (stop())
            return {Status::Interrupted, {}, 0};
        pollfd input{STDIN_FILENO, POLLIN, 0};
        const int ready = ::poll(&input, 1, kSliceMs);
        if (ready < 0 && errno != EINTR)
            return Failure(LastErrno());
        if (ready <= 0)
            continue;
        if (!ReadSome(STDIN_FILENO, result.bytes, result.error))
            break;
        if (result.bytes.size() > limit)
            return {Status::TooLarge, {}, 0};
    }
    if (result.error != 0)
        result.status = Status::Failed;
    return result;
}

int ReplaceFileAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    struct stat old {};
    const bool replacing = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode);

    // A name of its own beside the file, so that the rename stays on one file system.
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = folder / ("." + path.filename().string() + "." + RandomSuffix() + ".tmp");
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return LastErrno();
    Descriptor file(fd);

    int error = WriteAll(file.Get(), bytes);
    if (error == 0 && replacing && ::fchmod(file.Get(), old.st_mode & 07777) != 0)
        TraceFailure("fchmod (a backup keeps the mode of the file it replaces)", LastErrno());
    if (error == 0 && ::fsync(file.Get()) != 0)
        error = LastErrno();
    if (const int closed = file.Close(); error == 0)
        error = closed;
    if (error == 0 && ::rename(temporary.c_str(), path.c_str()) != 0)
        error = LastErrno();
    if (error != 0) {
        if (::unlink(temporary.c_str()) != 0)
            TraceFailure("unlink (the temporary file of a backup not written)", LastErrno());
        return error;
    }
    // The rename itself reaches the disk with the folder; the file is in place already.
    Descriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory.Valid() || ::fsync(directory.Get()) != 0)
        TraceFailure("fsync (the folder of a replaced backup)", LastErrno());
    return 0;
}

int AppendToFile(const fs::path& path, std::string_view bytes) {
    // Not followed through a FIFO or device: its open could block or do something.
    struct stat before {};
    if (::stat(path.c_str(), &before) == 0 && !S_ISREG(before.st_mode))
        return kNotRegularFile;
    Descriptor file(::open(
        path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666));
    if (!file.Valid())
        return LastErrno();
    struct stat opened {};
    if (::fstat(file.Get(), &opened) != 0)
        return LastErrno();
    if (!S_ISREG(opened.st_mode))
        return kNotRegularFile;
    int error = WriteAll(file.Get(), bytes);
    if (error == 0 && ::fsync(file.Get()) != 0)
        error = LastErrno();
    if (const int closed = file.Close(); error == 0)
        error = closed;
    return error;
}

std::string_view TextFileLineEnd() {
    return "\n";
}

} // namespace zopra::platform
