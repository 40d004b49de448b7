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

namespace {

// One line of text from `file`, "" when there is none or it is no plausible text.
std::string ReadLine(const std::filesystem::path& file, const char* what) {
    if (file.empty())
        return {};
    InputRead read = ReadRegularFile(file, kFileLimit);
    if (read.status != InputRead::Status::Done) {
        if (read.status == InputRead::Status::Failed && read.error != ENOENT)
            TraceFailure(std::string("reading the ") + what, read.error);
        else if (read.status != InputRead::Status::Failed)
            TraceNote(std::string("the file of the ") + what + " is no regular file of one line",
                      file.string());
        return {};
    }
    std::string& text = read.bytes;
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (!PlausiblePortText(text)) {
        TraceNote(std::string("the file of the ") + what + " holds no usable line", file.string());
        return {};
    }
    return text;
}

void WriteLine(const std::filesystem::path& file, const std::string& text, const char* what) {
    if (file.empty() || !PlausiblePortText(text))
        return;
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (error) {
        TraceFailure(std::string("creating the folder of the ") + what, error.value());
        return;
    }
    Traced(std::string("storing the ") + what, ReplaceFileAtomically(file, text + "\n"));
}

} // namespace

std::filesystem::path LastPortFile::FolderFile() const {
    return file_.empty() ? file_ : file_.parent_path() / "last-folder";
}

std::string LastPortFile::Read() {
    return ReadLine(file_, "last port");
}

void LastPortFile::Write(const std::string& port) {
    WriteLine(file_, port, "last port");
}

std::string LastPortFile::ReadFolder() {
    return ReadLine(FolderFile(), "last folder");
}

void LastPortFile::WriteFolder(const std::string& folder) {
    WriteLine(FolderFile(), folder, "last folder");
}

std::unique_ptr<LastPortStore> UserLastPortStore() {
    return std::make_unique<LastPortFile>(LastPortFilePath());
}

} // namespace zopra::platform
