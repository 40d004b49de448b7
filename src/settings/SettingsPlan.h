#pragma once
// `set NAME=VALUE ...` and `restore`: which of the nine values of the settings update the
// user chose, checked against the model before anything is sent; the rest taken from what
// the cutter reported; and, after the read-back, what the cutter did not take.
#include "protocol/Commands.h"
#include "protocol/MachineSettings.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace zopra::settings {

// A setting of the update that is one of two list entries.
enum class Choice { Weight, Quality, Smooth, Unroll, Media, Holder };
inline constexpr std::array<Choice, 6> kChoices = {Choice::Weight, Choice::Quality, Choice::Smooth,
                                                   Choice::Unroll, Choice::Media,   Choice::Holder};

// The name of a choice on the command line and in JSON ("weight", ...).
const char* ChoiceName(Choice choice);
// The value word of list position 0 or 1 ("heavy"/"light", "off"/"on", ...).
const char* ChoiceWord(Choice choice, int index);
// The list entry as the window shows it ("Heavy", "Disable", ...).
const char* ChoiceLabel(Choice choice, int index);

// What the user asked for; unset values are not chosen.
struct SettingsRequest {
    std::optional<std::string> offset; // millimetres (inches with offsetInInches), as typed
    bool offsetInInches = false;       // inches counted as 25 mm, the window's inch list
    std::optional<std::int32_t> force; // the force as the cutter reports it
    std::array<std::optional<int>, kChoices.size()> choices{};
};

// Reads NAME=VALUE words. InputError for an unknown name, a name given twice, a value that
// is not one of the choice's words or a force that is not a whole number.
SettingsRequest ParseSettingsRequest(const std::vector<std::string>& words);

// The nine values to send: the chosen ones, checked against the model of `current` (force
// range, the eight blade offsets, media only where the model lets it be chosen, the blade
// holder only where the entry has one); every other value as the cutter reported it.
// InputError when a value is out of range, or when a value the user did not choose was
// reported in a form that has no list entry (the window would send something else).
SettingsUpdate PlanSettingsUpdate(const SettingsRequest& request, const MachineSettings& current,
                                  bool readsBladeHolder);

// The request that writes `values` (a read or a backup) back as they are.
SettingsRequest RequestFromValues(const MachineSettings& values, bool withBladeHolder);

// The settings of `sent` that the read-back `after` does not show, one text each
// ("weight=heavy (the cutter reports light)").
std::vector<std::string> SettingsNotTaken(const SettingsUpdate& sent, const MachineSettings& after,
                                          bool readsBladeHolder);

// The values a cutter that held `before` holds after `update`, as far as the update tells:
// each value the update changes is the one a read would report for its list entry (speed 10
// for "Heavy", quality 1 for "Fine", ...), each it leaves keeps its number. For a write that
// was not read back.
MachineSettings ValuesAfterUpdate(const MachineSettings& before, const SettingsUpdate& update);

// The list position `update` sends for `choice`.
int ChoiceIndex(const SettingsUpdate& update, Choice choice);

// What changes when `after` is written over the settings `before` shows, one line per
// setting in the page's words: "Blade force: 120 g -> 150 g", "Media weight: Heavy -> Light".
// Without `before` (the cutter reported a value that has no entry) each line shows the value
// written alone. Force and offset are in the unit chosen ("Blade force: 4.23 oz -> 5.29 oz").
std::vector<std::string> SettingsChanges(const std::optional<SettingsUpdate>& before,
                                         const SettingsUpdate& after, const std::string& model,
                                         bool inches = false, char decimalSeparator = '.');

// The offset list entry text ("0.250") of a list position.
std::string BladeOffsetEntryText(int index);

} // namespace zopra::settings
