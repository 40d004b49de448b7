#include "cli/Files.h"

#include "cli/CliErrors.h"
#include "cli/Interrupt.h"
#include "settings/DocumentFiles.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace zopra::cli {

namespace {

namespace fs = std::filesystem;

std::string SystemMessage(int code) {
    return std::system_category().message(code);
}

} // namespace

std::string PathText(const fs::path& path) {
    return settings::PathText(path);
}

fs::path PathFromArgument(const std::string& utf8) {
    return settings::PathFromUtf8(utf8);
}

std::string ReadBackupText(const std::string& argument) {
    return ReadDocumentArgument(argument, "backup");
}

std::string ReadDocumentArgument(const std::string& argument, const std::string& what) {
    const bool standardInput = argument == "-";
    const platform::InputRead read =
        standardInput
            ? platform::ReadStandardInput(settings::kDocumentSizeLimit, InterruptRequested)
            : platform::ReadRegularFile(PathFromArgument(argument), settings::kDocumentSizeLimit);
    if (read.status == platform::InputRead::Status::Interrupted)
        throw Interrupted();
    return settings::CheckedDocumentText(
        read, standardInput ? "standard input" : argument, what,
        " (a " + what + " is read from a file, or from standard input with -)");
}

void WriteBackupFile(const fs::path& path, const std::string& text) {
    settings::ReplaceDocumentFile(path, text,
                                  " (without FILE, or with -, the backup goes to standard output)");
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
