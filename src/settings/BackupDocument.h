#pragma once
// The backup document: a read's JSON as zopra-cli writes it to a backup file, and that
// document read back in for a restore.
#include "protocol/Commands.h"
#include "settings/SettingsJson.h"

#include <string>

namespace zopra::settings {

// The backup document: the read's JSON with the version and "document": "zopra-backup".
Json BackupJson(const ReadResult& read);

// A backup document read back. InputError when it is not one, or a value is missing, not a
// whole number, or (blade offset, vector quality and smooth, auto unroll) has no list entry.
struct Backup {
    MachineSettings values;
    bool bladeHolder = false;
    bool aasOffsets = false;
};
Backup ParseBackup(const std::string& text);

// The settings update that writes the backup's settings to the cutter whose read is
// `current`; where the model does not let the media type be chosen it stays as it is.
// InputError for a value the cutter cannot take.
SettingsUpdate PlanBackupUpdate(const Backup& backup, const MachineSettings& current,
                                bool readsBladeHolder);

} // namespace zopra::settings
