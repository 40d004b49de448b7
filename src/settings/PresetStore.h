#pragma once
// The user's presets file: presets.json in the program's folder of the user's settings
// ($XDG_CONFIG_HOME/zopra, %APPDATA%\zopra). A file that cannot be read or is not a presets
// document is never overwritten: every change is refused, naming the file and what is wrong,
// until the user mends it or moves it away. A change takes the lock file beside it, then
// reads, changes and replaces the file in one step, so that two processes saving at once
// lose no preset.
#include "settings/Presets.h"

#include <chrono>
#include <filesystem>
#include <functional>

namespace zopra::settings {

class PresetStore {
public:
    // The store at `file` (tests and other places use their own).
    explicit PresetStore(std::filesystem::path file,
                         std::chrono::milliseconds lockBound = std::chrono::seconds(10));
    // The user's store; its file is empty when the system names no settings folder, and every
    // use then fails with InputError.
    static PresetStore ForUser();

    const std::filesystem::path& File() const { return file_; }

    // The presets in the file (none when there is no file). InputError naming the file and
    // what is wrong with it.
    std::vector<Preset> Load() const;

    // Under the lock: loads the presets (refusing as Load does), lets `change` change them
    // (it may throw to leave the file alone) and writes them back whole. InputError when the
    // lock is not had, or the write fails (a full disk): the file then holds what it held.
    void Change(const std::function<void(std::vector<Preset>&)>& change);

private:
    std::filesystem::path file_;
    std::chrono::milliseconds lockBound_;
};

} // namespace zopra::settings
