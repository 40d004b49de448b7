#include "platform/posix/LastPortPosix.h"

#include "platform/LocalFiles.h"
#include "platform/Trace.h"
#include "platform/UserFiles.h"

#include <cerrno>
#include <system_error>

namespace zopra::platform {

namespace {

// A port text and its line end; anything longer is not the file this program wrote.
constexpr std::size_t kFileLimit = 1024;

} // namespace

std::filesystem::path LastPortFilePath() {
    const std::filesystem::path folder = UserSettingsFolder();
    return folder.empty() ? folder : folder / "last-port";
}

std::string LastPortFile::Read() {
    if (file_.empty())
        return {};
    InputRead read = ReadRegularFile(file_, kFileLimit);
    if (read.status != InputRead::Status::Done) {
        if (read.status == InputRead::Status::Failed && read.error != ENOENT)
            TraceFailure("reading the last port", read.error);
        else if (read.status != InputRead::Status::Failed)
            TraceNote("the last port file is no regular file of a port", file_.string());
        return {};
    }
    std::string& text = read.bytes;
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!PlausiblePortText(text)) {
        TraceNote("the last port file holds no port", file_.string());
        return {};
    }
    return text;
}

void LastPortFile::Write(const std::string& port) {
    if (file_.empty() || !PlausiblePortText(port))
        return;
    std::error_code error;
    std::filesystem::create_directories(file_.parent_path(), error);
    if (error) {
        TraceFailure("creating the folder of the last port", error.value());
        return;
    }
    Traced("storing the last port", ReplaceFileAtomically(file_, port + "\n"));
}

std::unique_ptr<LastPortStore> UserLastPortStore() {
    return std::make_unique<LastPortFile>(LastPortFilePath());
}

} // namespace zopra::platform
