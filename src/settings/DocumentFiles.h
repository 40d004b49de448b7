#pragma once
// The user's settings files (a backup, a saved settings document, the presets, an export):
// read in whole from a regular file of bounded size, and written so that the file they
// replace is never left half-written. Both front ends read and write them through here.
#include "platform/LocalFiles.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace zopra::settings {

// A settings document is a few KB (500 presets some 100 KB); anything far larger is not one,
// and is not read into memory.
inline constexpr std::size_t kDocumentSizeLimit = std::size_t{1} << 20;

// A file name given as UTF-8 text. Every path the program opens for the user is made here,
// so that names outside ASCII mean the same file on every system.
std::filesystem::path PathFromUtf8(const std::string& utf8);
// A path as UTF-8 text, for output and messages.
std::string PathText(const std::filesystem::path& path);

// The bytes of a finished read of the file `name` (as the user named it), or InputError:
// "NAME is not a regular file" followed by `advice`, "NAME holds more than 1 MiB, which no
// WHAT does", "cannot read NAME: reason". An interrupted read is the caller's to handle.
std::string CheckedDocumentText(const platform::InputRead& read, const std::string& name,
                                const std::string& what, const std::string& advice = {});

// The regular file at `path`, read whole and checked as above.
std::string ReadDocumentFile(const std::filesystem::path& path, const std::string& what);

// Writes `text` over the file at `path` in one step: a temporary file beside it, flushed to
// the disk, then renamed over it. A link to a file stays a link (the file it points to is
// replaced). InputError, with the old file untouched, when that fails ("cannot write PATH:
// reason") or when the name is not that of a regular file (followed by `advice`).
void ReplaceDocumentFile(const std::filesystem::path& path, const std::string& text,
                         const std::string& advice = {});

} // namespace zopra::settings
