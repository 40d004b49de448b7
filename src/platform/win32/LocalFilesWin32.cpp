// Backup files on Windows: wide paths throughout, FlushFileBuffers before the file takes
// the old one's place with MoveFileExW.
#include "platform/LocalFiles.h"
#include "platform/Trace.h"

#include <algorithm>
#include <random>
#include <windows.h>

namespace zopra::platform {

namespace {

namespace fs = std::filesystem;
using Status = InputRead::Status;

// The error of a failed call; never 0, so that a failure never reads as success.
int LastError() {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<int>(error) : static_cast<int>(ERROR_GEN_FAILURE);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    int Close() {
        if (!Valid())
            return 0;
        const BOOL closed = CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed ? 0 : LastError();
    }

private:
    HANDLE handle_;
};

// Reads `handle` to its end into `result`, at most `limit` bytes; `stop` is asked after
// each read (a console read ends when Ctrl-C is pressed).
InputRead ReadToEnd(HANDLE handle, std::size_t limit, const std::function<bool()>& stop) {
    InputRead result{Status::Done, {}, 0};
    char chunk[16384];
    for (;;) {
        DWORD got = 0;
        const BOOL read = ReadFile(handle, chunk, sizeof chunk, &got, nullptr);
        if (stop())
            return {Status::Interrupted, {}, 0};
        if (!read) {
            // The writer of a pipe closed it: that is the end of the input.
            if (GetLastError() == ERROR_BROKEN_PIPE)
                break;
            return {Status::Failed, {}, LastError()};
        }
        if (got == 0)
            break;
        result.bytes.append(chunk, got);
        if (result.bytes.size() > limit)
            return {Status::TooLarge, {}, 0};
    }
    return result;
}

std::wstring RandomSuffix() {
    std::random_device random;
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring suffix;
    for (int i = 0; i < 12; ++i)
        suffix += kDigits[random() % 16];
    return suffix;
}

} // namespace

InputRead ReadRegularFile(const fs::path& path, std::size_t limit) {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error)
        return {Status::Failed, {}, error.value()};
    if (!fs::is_regular_file(status))
        return {Status::NotRegularFile, {}, 0};
    // Another process may replace the file while it is read (ReplaceFileAtomically renames
    // over it): without FILE_SHARE_DELETE its MoveFileEx would fail with "Access is denied".
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return {Status::Failed, {}, LastError()};
    // Checked again on the handle: a name such as CON or NUL opens a device.
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return {Status::NotRegularFile, {}, 0};
    return ReadToEnd(file.Get(), limit, [] { return false; });
}

InputRead ReadStandardInput(std::size_t limit, const std::function<bool()>& stop) {
    return ReadToEnd(GetStdHandle(STD_INPUT_HANDLE), limit, stop);
}

namespace {

// Writes every byte, flushes them to the disk and closes the file: 0, or the first error.
int WriteFlushAndClose(FileHandle& file, std::string_view bytes) {
    int error = 0;
    while (error == 0 && !bytes.empty()) {
        DWORD put = 0;
        const auto count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 20));
        if (!WriteFile(file.Get(), bytes.data(), count, &put, nullptr) || put == 0)
            error = LastError();
        else
            bytes.remove_prefix(put);
    }
    if (error == 0 && !FlushFileBuffers(file.Get()))
        error = LastError();
    if (const int closed = file.Close(); error == 0)
        error = closed;
    return error;
}

} // namespace

int ReplaceFileAtomically(const fs::path& path, std::string_view bytes) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(L".");
    // A name of its own beside the file, so that the move stays on one volume.
    fs::path temporary;
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 16 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = folder / (L"." + path.filename().wstring() + L"." + RandomSuffix() + L".tmp");
        handle = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    if (handle == INVALID_HANDLE_VALUE)
        return LastError();
    FileHandle file(handle);

    int error = WriteFlushAndClose(file, bytes);
    if (error == 0 && !MoveFileExW(temporary.c_str(), path.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        error = LastError();
    if (error != 0 && !DeleteFileW(temporary.c_str()))
        TraceFailure("DeleteFileW (the temporary file of a backup not written)", LastError());
    return error;
}

int AppendToFile(const fs::path& path, std::string_view bytes) {
    // FILE_APPEND_DATA alone: every write lands at the end, also with another writer.
    FileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid())
        return LastError();
    if (GetFileType(file.Get()) != FILE_TYPE_DISK)
        return kNotRegularFile;
    int error = WriteFlushAndClose(file, bytes);
    return error;
}

std::string_view TextFileLineEnd() {
    return "\r\n";
}

} // namespace zopra::platform
