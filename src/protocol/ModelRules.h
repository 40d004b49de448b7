#pragma once
// The cutters differ in force range, AAS offsets, media choice and how the blade force is
// sent. They are told apart only by text: the model name of the identity reply and, for
// the blade holder, the text of the chosen connection entry. Every test is a
// case-sensitive containment test.
#include <cstdint>
#include <optional>
#include <string_view>

namespace zopra {

// True when the name contains an entry of the model table ("Vantor 24 PZ" ... "QT-24").
bool IsKnownModel(std::string_view name);

// Known and containing "Vantor II 24" or "Vantor II 52".
bool IsSecondGeneration(std::string_view name);

// Known and containing "PZ": the cutter has the two adjustable AAS offsets.
bool HasAasOffsets(std::string_view name);

// A connection entry containing "QT-24" names a cutter without a selectable blade holder:
// its blade-holder controls are hidden and the read leaves out "ESC.R6:".
bool HidesBladeHolder(std::string_view connectionText);

// What a parameter read applies to the controls for a model.
struct ModelRules {
    enum class AasFunctions {
        ReadAndEnable, // send "ESC.R5:", show the offsets, enable the AAS controls
        HideAndDisable, // hide the AAS update button, disable the AAS controls
        Untouched,      // a cutter outside the table: no offsets are read (the window turns
                        // its AAS controls off, since they could only be refused)
    };
    int forceMaximum;                // grams, the force scroll bar's maximum
    std::optional<int> speedMaximum; // unset: keep the scroll bar's own maximum
    bool mediaListEnabled;
    AasFunctions aas;
};

ModelRules RulesForModel(std::string_view name);

// The value sent with "ESC.C1;22;" for the force scroll bar at position p (grams):
// p for known models; p x 0.64 rounded for a cutter outside the table.
std::int32_t BladeForceValue(std::string_view modelName, std::int32_t position);

// The lowest force scroll bar position (5 up to the model's maximum) whose value
// BladeForceValue sends as `value`, or nothing when no position sends it. For a cutter
// outside the table, the value 77 it reports comes back from position 120.
std::optional<std::int32_t> ForcePositionForValue(std::string_view modelName,
                                                  std::int32_t value);

// The force scroll bar's minimum (grams).
inline constexpr std::int32_t kForcePositionMinimum = 5;

} // namespace zopra
