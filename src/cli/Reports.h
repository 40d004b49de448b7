#pragma once
// What zopra-cli prints: a read as text (in millimetres and grams, or inches and ounces, the
// window's texts) or as a JSON document in the record's own units, which the backup file
// (cli/BackupDocument.h) is made of.
#include "link/Connections.h"
#include "protocol/MachineSettings.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace zopra::cli {

using Json = nlohmann::ordered_json;

// The version of every JSON document zopra-cli writes; it changes only when a key changes
// its meaning or goes away.
inline constexpr int kJsonVersion = 1;

// What a read found: the record, and which of its optional parts the cutter was asked for.
struct ReadResult {
    std::string device;
    MachineSettings values;
    bool bladeHolderRead = true;
    bool aasOffsetsRead = false;
};

Json ConnectionsJson(const std::vector<ConnectionEntry>& entries);
std::string ConnectionsText(const std::vector<ConnectionEntry>& entries);

// The JSON of one read (without the version, so that it can sit in a list of several).
Json ReadJson(const ReadResult& read);
// The read as the window's labels show it.
std::string ReadText(const ReadResult& read, bool inches);

// A command text as people read it: ESC written as "ESC".
std::string Readable(const std::string& bytes);

} // namespace zopra::cli
