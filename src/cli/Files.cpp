#include "cli/Files.h"

#include "cli/CliErrors.h"
#include "cli/Interrupt.h"
#include "platform/LocalFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace zopra::cli {

namespace {

namespace fs = std::filesystem;
using platform::InputRead;

std::string SystemMessage(int code) {
    return std::system_category().message(code);
}

} // namespace

std::string PathText(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path PathFromArgument(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string ReadBackupText(const std::string& argument) {
    const bool standardInput = argument == "-";
    const InputRead read =
        standardInput ? platform::ReadStandardInput(kBackupSizeLimit, InterruptRequested)
                      : platform::ReadRegularFile(PathFromArgument(argument), kBackupSizeLimit);
    const std::string name = standardInput ? "standard input" : argument;
    switch (read.status) {
    case InputRead::Status::Done:
        return read.bytes;
    case InputRead::Status::Interrupted:
        throw Interrupted();
    case InputRead::Status::NotRegularFile:
        throw UsageError(name + " is not a regular file (a backup is read from a file, or "
                                "from standard input with -)");
    case InputRead::Status::TooLarge:
        throw UsageError(name + " holds more than 1 MiB, which no backup does");
    case InputRead::Status::Failed:
        break;
    }
    throw UsageError("cannot read " + name + ": " + SystemMessage(read.error));
}

void WriteBackupFile(const fs::path& path, const std::string& text) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const bool exists = fs::exists(status);
    // A device or FIFO would be replaced by a file of the same name, not written to.
    if (exists && !fs::is_regular_file(status))
        throw UsageError("cannot write " + PathText(path) +
                         ": not a regular file (without FILE, or with -, the backup goes to "
                         "standard output)");
    fs::path target = exists ? fs::canonical(path, error) : path;
    if (error)
        target = path;
    if (const int failure = platform::ReplaceFileAtomically(target, text))
        throw UsageError("cannot write " + PathText(path) + ": " + SystemMessage(failure));
}

std::optional<std::string> WriteStandardOutput(const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) == 0 && written)
        return std::nullopt;
    const int error = errno;
    if (error == EPIPE)
        return std::nullopt;
    return "cannot write to standard output" +
           (error != 0 ? ": " + SystemMessage(error) : std::string());
}

} // namespace zopra::cli
