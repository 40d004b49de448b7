#pragma once
// What zopra-cli reads from and writes to the user's files and standard output: a backup
// read in whole (a regular file of bounded size, or standard input as "-"), a backup
// written so that the file it replaces is never left half-written (both checked in
// settings/DocumentFiles.h), and a command's output, checked until it is out.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace zopra::cli {

// A file name as the command line gives it: UTF-8 text. Every path zopra-cli opens is
// made here, so that names outside ASCII mean the same file on every system.
std::filesystem::path PathFromArgument(const std::string& utf8);
// A path as UTF-8 text, for output and messages.
std::string PathText(const std::filesystem::path& path);

// The backup named by `argument`: "-" reads standard input (Ctrl-C ends that wait:
// Interrupted), anything else must be a regular file. UsageError for anything else, for
// more than 1 MiB and for a file that cannot be read.
std::string ReadBackupText(const std::string& argument);
// The same for any document: `what` names it in messages ("presets file").
std::string ReadDocumentArgument(const std::string& argument, const std::string& what);

// Writes `text` over the file `argument` names in one step: a temporary file beside it,
// flushed to the disk, then renamed over it. A link to a backup stays a link (the file it
// points to is replaced). UsageError, with the old file untouched, when that fails or when
// the name is not that of a regular file.
void WriteBackupFile(const std::filesystem::path& path, const std::string& text);

// Writes `text` to standard output and flushes it. The message of the failure when it did
// not all go out; nothing when it did, or when the reader closed the pipe (a reader that
// stopped reading needs no message).
std::optional<std::string> WriteStandardOutput(const std::string& text);

} // namespace zopra::cli
