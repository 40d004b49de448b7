// The user's roaming application data folder, and LockFileEx on a lock file.
#include "platform/UserFiles.h"

#include <shlobj.h>
#include <thread>
#include <windows.h>

namespace zopra::platform {

namespace {

class HandleLock final : public FileLock {
public:
    explicit HandleLock(HANDLE handle) : handle_(handle) {}
    ~HandleLock() override { CloseHandle(handle_); } // closing releases the lock

private:
    HANDLE handle_;
};

} // namespace

std::filesystem::path UserSettingsFolder() {
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return std::filesystem::path(folder) / L"zopra";
}

std::filesystem::path UserDocumentsFolder() {
    // CSIDL_PERSONAL is the Documents known folder, wherever the user moved it.
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return {};
    return std::filesystem::path(folder);
}

LockResult LockFile(const std::filesystem::path& path, std::chrono::milliseconds bound) {
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return {nullptr, static_cast<int>(GetLastError()), false};
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        OVERLAPPED at{};
        if (LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at))
            return {std::make_unique<HandleLock>(handle), 0, false};
        const DWORD error = GetLastError();
        if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING) {
            CloseHandle(handle);
            return {nullptr, static_cast<int>(error), false};
        }
        if (std::chrono::steady_clock::now() >= end) {
            CloseHandle(handle);
            return {nullptr, static_cast<int>(ERROR_LOCK_VIOLATION), true};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace zopra::platform
