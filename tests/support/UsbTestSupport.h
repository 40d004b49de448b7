#pragma once
// Helpers of the USB tests: a scratch folder that is removed afterwards, and a runtime
// directory of their own so that no virtual cutter running elsewhere on the machine
// shows up in a test's device lists.
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>

namespace zopra::test {

// A folder under /tmp, named without the letters "vid" or "pid" in a row, so that device
// paths made in it cannot pass or fail the vendor test by accident.
class ScratchDir {
public:
    ScratchDir() {
        static std::atomic<int> serial{0};
        FPath = std::filesystem::temp_directory_path() /
                ("zopra-usb-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        std::filesystem::remove_all(FPath);
        std::filesystem::create_directories(FPath);
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(FPath, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& Path() const { return FPath; }

private:
    std::filesystem::path FPath;
};

// Points XDG_RUNTIME_DIR at a fresh folder for the life of the object.
class PrivateRuntimeDir {
public:
    PrivateRuntimeDir() {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR"))
            FOld = old;
        ::setenv("XDG_RUNTIME_DIR", FDir.Path().c_str(), 1);
    }
    ~PrivateRuntimeDir() {
        if (FOld)
            ::setenv("XDG_RUNTIME_DIR", FOld->c_str(), 1);
        else
            ::unsetenv("XDG_RUNTIME_DIR");
    }
    PrivateRuntimeDir(const PrivateRuntimeDir&) = delete;
    PrivateRuntimeDir& operator=(const PrivateRuntimeDir&) = delete;

    // The announcement folder of one kind, created.
    std::filesystem::path Announcements(const std::string& kind) const {
        auto dir = FDir.Path() / "zopra" / kind;
        std::filesystem::create_directories(dir);
        return dir;
    }

private:
    ScratchDir FDir;
    std::optional<std::string> FOld;
};

} // namespace zopra::test
