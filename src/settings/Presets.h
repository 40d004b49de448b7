#pragma once
// Material presets: a name, the eight settings that the settings update writes (in the words
// of `zopra-cli set` and of a read's "settings": offset, force, weight, quality, smooth,
// unroll, media, holder) and a note. A preset is written through the same plan as `set`, so
// that a value the connected model cannot take is refused, naming it, before anything is
// sent. The presets file is one JSON document; PresetStore.h keeps it.
#include "protocol/Commands.h"
#include "protocol/MachineSettings.h"
#include "settings/InputError.h"
#include "settings/SettingsJson.h"
#include "settings/SettingsPlan.h"

#include <cstddef>
#include <string>
#include <vector>

namespace zopra::settings {

inline constexpr std::size_t kPresetNameLimit = 64;   // characters
inline constexpr std::size_t kPresetNoteLimit = 1000; // characters
inline constexpr std::size_t kPresetLimit = 500;      // presets in one file

struct Preset {
    std::string name;
    std::string note;
    // Every value set, the holder only when the preset was taken where a holder is read.
    SettingsRequest settings;
};

// InputError unless `name` is 1 to 64 characters of UTF-8 text without control characters
// or path separators. Names are compared exactly, byte for byte, and never used as a file
// name.
void CheckPresetName(const std::string& name);

// A preset of the values a read found. InputError when a value has no list entry (the update
// could not send it back) or the name or note is refused.
Preset PresetFromRead(const std::string& name, const std::string& note,
                      const MachineSettings& values, bool bladeHolderRead);

// A preset of the settings an update would write (the window's page), the holder only with
// `withBladeHolder`. InputError when the name or note is refused.
Preset PresetFromUpdate(const std::string& name, const std::string& note,
                        const SettingsUpdate& update, bool withBladeHolder);

// The update that writes `preset` to the cutter whose read is `current`. Where the model does
// not let the media type be chosen it stays as it is (as restore does). InputError, naming the
// preset and the field, for a value the model or connection cannot take.
SettingsUpdate PlanPreset(const Preset& preset, const MachineSettings& current,
                          bool readsBladeHolder);

// One preset as JSON, and the settings alone ("offset", "force", ... as a read shows them).
Json PresetJson(const Preset& preset);
Json PresetSettingsJson(const SettingsRequest& settings);

// The presets document read from text; InputError with what is wrong and where.
std::vector<Preset> ParsePresets(const std::string& text);
// The document of `presets`, as the file holds it.
std::string PresetsText(const std::vector<Preset>& presets);

// The preset named exactly `name`, or null.
const Preset* FindPreset(const std::vector<Preset>& presets, const std::string& name);

// A preset's name is taken; each front end says how to replace it.
class PresetTaken : public InputError {
public:
    using InputError::InputError;
};

// Adds `preset`, or replaces the one of the same name when `replace`. PresetTaken when the
// name is taken and not `replace`; InputError when the list would hold more than 500.
void PutPreset(std::vector<Preset>& presets, Preset preset, bool replace);

} // namespace zopra::settings
