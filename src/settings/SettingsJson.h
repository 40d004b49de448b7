#pragma once
// A cutter's read as a JSON document in the record's own units: what `zopra-cli read --json`
// prints, what a backup and the window's settings file are made of, and what a preset's
// "settings" hold.
#include "protocol/MachineSettings.h"

#include <nlohmann/json.hpp>

#include <string>

namespace zopra::settings {

using Json = nlohmann::ordered_json;

// The version of every JSON document the program writes; it changes only when a key changes
// its meaning or goes away.
inline constexpr int kJsonVersion = 1;

// What a read found: the record, and which of its optional parts the cutter was asked for.
struct ReadResult {
    std::string device;
    MachineSettings values;
    bool bladeHolderRead = true;
    bool aasOffsetsRead = false;
};

// The values a write can change, under the keys of a read's JSON: "parameters", "scale" and
// "aas_offsets_units" (null where not read).
Json CutterValuesJson(const MachineSettings& values, bool bladeHolderRead, bool aasOffsetsRead);

// The JSON of one read (without the version, so that it can sit in a list of several).
Json ReadJson(const ReadResult& read);

} // namespace zopra::settings
