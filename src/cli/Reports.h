#pragma once
// What zopra-cli prints: a read as text (in millimetres and grams, or inches and ounces, the
// window's texts) or as a JSON document in the record's own units, which the backup file
// (settings/BackupDocument.h) is made of.
#include "link/Connections.h"
#include "protocol/MachineSettings.h"
#include "settings/SettingsJson.h"

#include <optional>
#include <string>
#include <vector>

namespace zopra::cli {

using settings::Json;
using settings::kJsonVersion;
using settings::ReadJson;
using settings::ReadResult;

Json ConnectionsJson(const std::vector<ConnectionEntry>& entries);
std::string ConnectionsText(const std::vector<ConnectionEntry>& entries);

// The read as the window's labels show it.
std::string ReadText(const ReadResult& read, bool inches);

// A command text as people read it: ESC written as "ESC".
std::string Readable(const std::string& bytes);

} // namespace zopra::cli
