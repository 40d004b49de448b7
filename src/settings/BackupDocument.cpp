#include "settings/BackupDocument.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/InputError.h"
#include "settings/SettingsPlan.h"

#include <cmath>
#include <tuple>

namespace zopra::settings {

namespace {

double Required(const Json& object, const char* key) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number())
        throw InputError(std::string("the backup has no number for \"") + key + "\"");
    return found->get<double>();
}

const Json& Section(const Json& document, const char* key) {
    const auto found = document.find(key);
    if (found == document.end() || !found->is_object())
        throw InputError(std::string("the backup has no \"") + key + "\" section");
    return *found;
}

// A value of the backup as a message names it: "the backup's parameters.speed 60.5".
std::string FieldText(const char* section, const char* key, double value) {
    return std::string("the backup's ") + section + "." + key + " " + FormatGeneral(value);
}

// Every value that restore writes back is whole, as the cutter reports it: a fraction
// would be cut off, or replaced by the cutter's own value, without a word.
double RequiredWhole(const Json& object, const char* section, const char* key) {
    const double value = Required(object, key);
    if (!(value == std::trunc(value) && std::fabs(value) <= 2147483647.0))
        throw InputError(FieldText(section, key, value) + " is not a whole number");
    return value;
}

// The values that the settings update can only send as a list entry must have one; the
// update would otherwise send the cutter's own value instead.
void CheckListEntries(const MachineSettings& v) {
    if (!BladeOffsetEntryIndex(v.FBladeOffset))
        throw InputError(FieldText("parameters", "blade_offset_um", v.FBladeOffset) +
                         " is not one of the blade offsets");
    const auto choices = RequestFromValues(v, false).choices;
    const std::tuple<Choice, const char*, double> listed[] = {
        {Choice::Quality, "vector_quality", v.FVectorQuality},
        {Choice::Smooth, "vector_smooth", v.FVectorSmooth},
        {Choice::Unroll, "auto_unroll", v.FAutoUnroll}};
    for (const auto& [choice, key, value] : listed)
        if (!choices[static_cast<std::size_t>(choice)])
            throw InputError(FieldText("parameters", key, value) + " has no list entry");
}

} // namespace

Json BackupJson(const ReadResult& read) {
    Json document = {{"version", kJsonVersion}, {"document", "zopra-backup"}};
    document.update(ReadJson(read));
    return document;
}

Backup ParseBackup(const std::string& text) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::out_of_range&) {
        throw InputError("the backup holds a number too large to read");
    } catch (const Json::exception&) {
        throw InputError("the backup is not a JSON document");
    }
    const auto kind = document.is_object() ? document.find("document") : document.end();
    if (kind == document.end() || *kind != "zopra-backup")
        throw InputError("the file is not a zopra-cli backup");
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number())
        throw InputError("the backup has no version number");
    if (version->get<double>() != kJsonVersion)
        throw InputError("the backup has version " + version->dump() +
                         ", this zopra-cli reads version " + std::to_string(kJsonVersion));
    Backup backup;
    MachineSettings& v = backup.values;
    const Json& identity = Section(document, "identity");
    const auto model = identity.find("model");
    if (model == identity.end() || !model->is_string())
        throw InputError("the backup names no model");
    v.FModelName = model->get<std::string>();
    const Json& parameters = Section(document, "parameters");
    const auto parameter = [&](const char* key) {
        return RequiredWhole(parameters, "parameters", key);
    };
    v.FSpeed = parameter("speed");
    v.FBladeForce = parameter("blade_force_g");
    v.FBladeOffset = parameter("blade_offset_um");
    v.FVectorQuality = parameter("vector_quality");
    v.FVectorSmooth = parameter("vector_smooth");
    v.FAutoUnroll = parameter("auto_unroll");
    v.FMediaType = parameter("media_type");
    backup.bladeHolder =
        parameters.contains("blade_holder") && !parameters["blade_holder"].is_null();
    if (backup.bladeHolder)
        v.FBladeHolder = parameter("blade_holder");
    CheckListEntries(v);
    const Json& scale = Section(document, "scale");
    v.FXScale = RequiredWhole(scale, "scale", "x");
    v.FYScale = RequiredWhole(scale, "scale", "y");
    const auto aas = document.find("aas_offsets_units");
    backup.aasOffsets = aas != document.end() && aas->is_object();
    if (backup.aasOffsets) {
        v.FAASXOffset = RequiredWhole(*aas, "aas_offsets_units", "x");
        v.FAASYOffset = RequiredWhole(*aas, "aas_offsets_units", "y");
    }
    return backup;
}

SettingsUpdate PlanBackupUpdate(const Backup& backup, const MachineSettings& current,
                                bool readsBladeHolder) {
    SettingsRequest request =
        RequestFromValues(backup.values, backup.bladeHolder && readsBladeHolder);
    // Where the window keeps the media list disabled, the media type cannot be written: it
    // stays as it is, and the read-back shows it if it differs.
    if (!RulesForModel(current.FModelName).mediaListEnabled)
        request.choices[static_cast<std::size_t>(Choice::Media)].reset();
    return PlanSettingsUpdate(request, current, readsBladeHolder);
}

} // namespace zopra::settings
