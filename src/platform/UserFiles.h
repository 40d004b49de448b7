#pragma once
// Where the user's own files of this program live, and a lock that keeps two zopra processes
// from changing one of them at the same time. The folder is $XDG_CONFIG_HOME/zopra
// (~/.config/zopra when the variable is unset) on Linux and %APPDATA%\zopra on Windows.
#include <chrono>
#include <filesystem>
#include <memory>

namespace zopra::platform {

// The program's folder in the user's settings folder; empty when the system names none (no
// absolute XDG_CONFIG_HOME or HOME, no application data folder). It may not exist yet.
std::filesystem::path UserSettingsFolder();

// Where the user keeps documents, for a file dialog to start in: on Linux XDG_DOCUMENTS_DIR
// (from $XDG_CONFIG_HOME/user-dirs.dirs, where the desktop keeps it), else the home folder; on
// Windows the Documents folder. Empty when the system names none.
std::filesystem::path UserDocumentsFolder();

// An exclusive lock on the file `path` (made when missing), held while the object lives:
// flock on Linux, LockFileEx on Windows. The lock file is never the data file itself, which
// is replaced by a rename and would leave a lock on the old file behind.
class FileLock {
public:
    virtual ~FileLock() = default;
};

struct LockResult {
    std::unique_ptr<FileLock> lock; // null on failure
    int error = 0;                  // the system's error number; 0 with a lock
    bool timedOut = false;          // another process held it for all of `bound`
};

// Waits at most `bound` for the lock.
LockResult LockFile(const std::filesystem::path& path, std::chrono::milliseconds bound);

} // namespace zopra::platform
