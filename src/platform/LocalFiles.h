#pragma once
// Files that zopra-cli reads and writes for the user: a backup read whole, from a regular
// file or from standard input, and a backup written so that the file it replaces is never
// left half-written. posix/ and win32/ implement it with the system's own calls, because
// the standard streams can neither refuse a FIFO before its open blocks nor flush a file
// to the disk.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace zopra::platform {

struct InputRead {
    enum class Status {
        Done,
        NotRegularFile, // a device, FIFO, socket or folder: nothing was read from it
        TooLarge,       // more than the limit
        Interrupted,    // `stop` said so while the read waited
        Failed          // `error` says why
    };
    Status status = Status::Failed;
    std::string bytes;
    int error = 0; // errno on Linux, GetLastError on Windows
};

// Reads the regular file at `path`, at most `limit` bytes. Anything else is refused before
// a byte is read, and without waiting: opening a FIFO that has no writer would block.
InputRead ReadRegularFile(const std::filesystem::path& path, std::size_t limit);

// Reads standard input to its end, at most `limit` bytes. While it waits for bytes it asks
// `stop` every few milliseconds and gives up when it says so.
InputRead ReadStandardInput(std::size_t limit, const std::function<bool()>& stop);

// Writes `bytes` to a new file beside `path`, flushes it to the disk and renames it over
// `path`, so that `path` holds either its old content or all of the new. A file that is
// replaced keeps its permissions. On failure the new file is removed and `path` is left
// as it was. Returns 0, or the system's error number.
int ReplaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Appends `bytes` to the regular file at `path` (made when missing) and flushes it to the
// disk before it returns. Anything but a regular file is refused before a byte is written
// (kNotRegularFile). Returns 0, or the system's error number.
inline constexpr int kNotRegularFile = -1;
int AppendToFile(const std::filesystem::path& path, std::string_view bytes);

// The line end of a text file a user opens with the system's own editor: "\r\n" on Windows,
// where older Notepads show "\n" alone as one long line, "\n" elsewhere.
std::string_view TextFileLineEnd();

} // namespace zopra::platform
