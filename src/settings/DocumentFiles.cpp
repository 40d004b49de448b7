#include "settings/DocumentFiles.h"

#include "settings/InputError.h"

#include <system_error>

namespace zopra::settings {

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

fs::path PathFromUtf8(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string CheckedDocumentText(const InputRead& read, const std::string& name,
                                const std::string& what, const std::string& advice) {
    switch (read.status) {
    case InputRead::Status::Done:
        return read.bytes;
    case InputRead::Status::NotRegularFile:
        throw InputError(name + " is not a regular file" + advice);
    case InputRead::Status::TooLarge:
        throw InputError(name + " holds more than 1 MiB, which no " + what + " does");
    case InputRead::Status::Interrupted:
    case InputRead::Status::Failed:
        break;
    }
    throw InputError("cannot read " + name + ": " + SystemMessage(read.error));
}

std::string ReadDocumentFile(const fs::path& path, const std::string& what) {
    return CheckedDocumentText(platform::ReadRegularFile(path, kDocumentSizeLimit), PathText(path),
                               what);
}

void ReplaceDocumentFile(const fs::path& path, const std::string& text, const std::string& advice) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    const bool exists = fs::exists(status);
    // A device or FIFO would be replaced by a file of the same name, not written to.
    if (exists && !fs::is_regular_file(status))
        throw InputError("cannot write " + PathText(path) + ": not a regular file" + advice);
    fs::path target = exists ? fs::canonical(path, error) : path;
    if (error)
        target = path;
    if (const int failure = platform::ReplaceFileAtomically(target, text))
        throw InputError("cannot write " + PathText(path) + ": " + SystemMessage(failure));
}

} // namespace zopra::settings
