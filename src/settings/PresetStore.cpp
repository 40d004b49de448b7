#include "settings/PresetStore.h"

#include "platform/LocalFiles.h"
#include "platform/UserFiles.h"
#include "settings/DocumentFiles.h"
#include "settings/InputError.h"

#include <system_error>

namespace zopra::settings {

namespace fs = std::filesystem;

PresetStore::PresetStore(fs::path file, std::chrono::milliseconds lockBound)
    : file_(std::move(file)), lockBound_(lockBound) {}

PresetStore PresetStore::ForUser() {
    const fs::path folder = platform::UserSettingsFolder();
    return PresetStore(folder.empty() ? folder : folder / "presets.json");
}

std::vector<Preset> PresetStore::Load() const {
    if (file_.empty())
        throw InputError("there is no folder for the presets: the system names no settings "
                         "folder of the user (HOME or XDG_CONFIG_HOME, or APPDATA)");
    std::error_code error;
    if (fs::symlink_status(file_, error).type() == fs::file_type::not_found)
        return {};
    const std::string where = "the presets file " + PathText(file_);
    std::string text;
    try {
        text = ReadDocumentFile(file_, "presets file");
    } catch (const InputError& failure) {
        throw InputError(std::string(failure.what()) + " (mend " + where + " or move it away)");
    }
    try {
        return ParsePresets(text);
    } catch (const InputError& failure) {
        throw InputError(where + " cannot be used: " + failure.what() +
                         " (mend it or move it away)");
    }
}

void PresetStore::Change(const std::function<void(std::vector<Preset>&)>& change) {
    if (!file_.empty()) {
        std::error_code error;
        fs::create_directories(file_.parent_path(), error);
        if (error)
            throw InputError("cannot make the folder " + PathText(file_.parent_path()) + ": " +
                             error.message());
    }
    std::vector<Preset> presets = Load(); // refuses early, before the lock
    fs::path lockPath = file_;
    lockPath += ".lock";
    const platform::LockResult lock = platform::LockFile(lockPath, lockBound_);
    if (!lock.lock)
        throw InputError(lock.timedOut ? "another zopra is changing the presets (" +
                                             PathText(lockPath) + " stays locked)"
                                       : "cannot lock " + PathText(lockPath) + ": " +
                                             std::system_category().message(lock.error));
    // Read again under the lock: another process may have saved meanwhile.
    presets = Load();
    change(presets);
    ReplaceDocumentFile(file_, PresetsText(presets));
}

} // namespace zopra::settings
