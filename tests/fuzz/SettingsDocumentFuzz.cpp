// The settings document and the presets file on any bytes: each is read, or refused with
// InputError, never anything else. Presets that are read write out as a document that reads
// back to the same text, and a backup that is read plans an update against its own values
// without failing other than with InputError.
#include "settings/BackupDocument.h"
#include "settings/InputError.h"
#include "settings/Presets.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

using zopra::settings::InputError;

void ReadPresets(const std::string& text) {
    std::vector<zopra::settings::Preset> presets;
    try {
        presets = zopra::settings::ParsePresets(text);
    } catch (const InputError&) {
        return;
    }
    const std::string written = zopra::settings::PresetsText(presets);
    try {
        if (zopra::settings::PresetsText(zopra::settings::ParsePresets(written)) != written)
            std::abort();
    } catch (const InputError&) {
        std::abort(); // what was read must read again
    }
}

void ReadBackup(const std::string& text) {
    try {
        const zopra::settings::Backup backup = zopra::settings::ParseBackup(text);
        zopra::settings::PlanBackupUpdate(backup, backup.values, backup.bladeHolder);
    } catch (const InputError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    ReadPresets(text);
    ReadBackup(text);
    return 0;
}
