#include "settings/Presets.h"

#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/InputError.h"

#include <algorithm>

namespace zopra::settings {

namespace {

constexpr const char* kDocumentKind = "zopra-presets";

// The characters of UTF-8 text, or nothing when it is not UTF-8 or holds a control character
// (C0, DEL, C1).
std::optional<std::size_t> PlainCharacters(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size())
            return std::nullopt;
        char32_t code = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt; // overlong forms and surrogates are no UTF-8
        if (code < 0x20 || (code >= 0x7F && code < 0xA0))
            return std::nullopt;
        i += length;
    }
    return count;
}

std::string Quoted(const std::string& name) {
    return "'" + name + "'";
}

void CheckNote(const std::string& note) {
    const auto characters = PlainCharacters(note);
    if (!characters)
        throw InputError("a preset note is UTF-8 text without control characters");
    if (*characters > kPresetNoteLimit)
        throw InputError("a preset note holds at most " + std::to_string(kPresetNoteLimit) +
                         " characters");
}

// A preset's settings from JSON: every value but the holder, each as a read shows it.
SettingsRequest SettingsFromJson(const Json& settings) {
    if (!settings.is_object())
        throw InputError("\"settings\" is not an object");
    std::vector<std::string> words;
    for (const auto& [key, value] : settings.items()) {
        if (key == "holder" && value.is_null())
            continue;
        if (key == "offset" && value.is_string())
            words.push_back("offset=" + value.get<std::string>());
        else if (key == "force" && value.is_number_integer())
            words.push_back("force=" + std::to_string(value.get<std::int64_t>()));
        else if (key != "offset" && key != "force" && value.is_string())
            words.push_back(key + "=" + value.get<std::string>());
        else
            throw InputError("\"settings\".\"" + key + "\" is " + std::string(value.type_name()) +
                             ", not a setting's value");
    }
    SettingsRequest request = ParseSettingsRequest(words);
    // The offset must be one of the list's: the update sends a list position.
    long double typed = 0;
    try {
        typed = request.offset ? StrToFloat(*request.offset) : 0;
    } catch (const ConversionError& error) {
        throw InputError(error.what());
    }
    if (request.offset && !BladeOffsetEntryIndex(BladeOffsetFromDisplay(typed, false)))
        throw InputError("offset=" + *request.offset + " is not one of the blade offsets");
    if (!request.offset || !request.force)
        throw InputError("\"settings\" has no offset or no force");
    for (const Choice choice : kChoices)
        if (choice != Choice::Holder && !request.choices[static_cast<std::size_t>(choice)])
            throw InputError(std::string("\"settings\" has no ") + ChoiceName(choice));
    return request;
}

std::string TextField(const Json& preset, const char* key, bool required) {
    const auto found = preset.find(key);
    if (found == preset.end() && !required)
        return {};
    if (found == preset.end() || !found->is_string())
        throw InputError(std::string("a preset has no text \"") + key + "\"");
    return found->get<std::string>();
}

} // namespace

void CheckPresetName(const std::string& name) {
    const auto characters = PlainCharacters(name);
    if (!characters)
        throw InputError("a preset name is UTF-8 text without control characters");
    if (*characters == 0 || *characters > kPresetNameLimit)
        throw InputError("a preset name has 1 to " + std::to_string(kPresetNameLimit) +
                         " characters, not " + std::to_string(*characters));
    if (name.find_first_of("/\\") != std::string::npos)
        throw InputError("a preset name holds no / or \\ (" + Quoted(name) + ")");
}

Preset PresetFromRead(const std::string& name, const std::string& note,
                      const MachineSettings& values, bool bladeHolderRead) {
    CheckPresetName(name);
    CheckNote(note);
    Preset preset{name, note, RequestFromValues(values, bladeHolderRead)};
    // Only what the update can send back is kept: the same check as writing it back now.
    try {
        PlanSettingsUpdate(preset.settings, values, bladeHolderRead);
    } catch (const InputError& error) {
        throw InputError("preset " + Quoted(name) + ": " + error.what());
    }
    if (!preset.settings.force)
        throw InputError("preset " + Quoted(name) + ": the cutter reports no whole force");
    return preset;
}

Preset PresetFromUpdate(const std::string& name, const std::string& note,
                        const SettingsUpdate& update, bool withBladeHolder) {
    CheckPresetName(name);
    CheckNote(note);
    Preset preset{name, note, {}};
    preset.settings.offset = BladeOffsetEntryText(update.offsetIndex);
    preset.settings.force = update.forceValue;
    for (const Choice choice : kChoices)
        if (choice != Choice::Holder || withBladeHolder)
            preset.settings.choices[static_cast<std::size_t>(choice)] = ChoiceIndex(update, choice);
    return preset;
}

SettingsUpdate PlanPreset(const Preset& preset, const MachineSettings& current,
                          bool readsBladeHolder) {
    SettingsRequest request = preset.settings;
    if (!RulesForModel(current.FModelName).mediaListEnabled)
        request.choices[static_cast<std::size_t>(Choice::Media)].reset();
    try {
        return PlanSettingsUpdate(request, current, readsBladeHolder);
    } catch (const InputError& error) {
        throw InputError("preset " + Quoted(preset.name) + ": " + error.what());
    }
}

Json PresetSettingsJson(const SettingsRequest& settings) {
    Json json = Json::object();
    json["offset"] = settings.offset ? Json(*settings.offset) : Json(nullptr);
    json["force"] = settings.force ? Json(*settings.force) : Json(nullptr);
    for (const Choice choice : kChoices) {
        const auto& index = settings.choices[static_cast<std::size_t>(choice)];
        json[ChoiceName(choice)] = index ? Json(ChoiceWord(choice, *index)) : Json(nullptr);
    }
    return json;
}

Json PresetJson(const Preset& preset) {
    return {{"name", preset.name},
            {"note", preset.note},
            {"settings", PresetSettingsJson(preset.settings)}};
}

std::vector<Preset> ParsePresets(const std::string& text) {
    Json document;
    try {
        document = Json::parse(text);
    } catch (const Json::parse_error& error) {
        throw InputError("it is not JSON (at byte " + std::to_string(error.byte) + ")");
    } catch (const Json::exception&) {
        throw InputError("it holds a number too large to read");
    }
    const auto kind = document.is_object() ? document.find("document") : document.end();
    if (kind == document.end() || *kind != kDocumentKind)
        throw InputError("it is not a presets document (\"document\": \"zopra-presets\")");
    const auto version = document.find("version");
    if (version == document.end() || !version->is_number() || *version != kJsonVersion)
        throw InputError("it is not of version " + std::to_string(kJsonVersion));
    const auto list = document.find("presets");
    if (list == document.end() || !list->is_array())
        throw InputError("it has no list \"presets\"");
    if (list->size() > kPresetLimit)
        throw InputError("it holds " + std::to_string(list->size()) + " presets, more than " +
                         std::to_string(kPresetLimit));
    std::vector<Preset> presets;
    for (const Json& entry : *list) {
        if (!entry.is_object())
            throw InputError("a preset is not an object");
        Preset preset{TextField(entry, "name", true), TextField(entry, "note", false), {}};
        CheckPresetName(preset.name);
        try {
            CheckNote(preset.note);
            preset.settings =
                SettingsFromJson(entry.contains("settings") ? entry["settings"] : Json());
        } catch (const InputError& error) {
            throw InputError("preset " + Quoted(preset.name) + ": " + error.what());
        }
        if (FindPreset(presets, preset.name))
            throw InputError("it names the preset " + Quoted(preset.name) + " twice");
        presets.push_back(std::move(preset));
    }
    return presets;
}

std::string PresetsText(const std::vector<Preset>& presets) {
    Json list = Json::array();
    for (const Preset& preset : presets)
        list.push_back(PresetJson(preset));
    const Json document = {
        {"version", kJsonVersion}, {"document", kDocumentKind}, {"presets", list}};
    return document.dump(2) + "\n";
}

const Preset* FindPreset(const std::vector<Preset>& presets, const std::string& name) {
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&](const Preset& preset) { return preset.name == name; });
    return found == presets.end() ? nullptr : &*found;
}

void PutPreset(std::vector<Preset>& presets, Preset preset, bool replace) {
    const auto found = std::find_if(presets.begin(), presets.end(),
                                    [&](const Preset& p) { return p.name == preset.name; });
    if (found != presets.end()) {
        if (!replace)
            throw PresetTaken("the preset " + Quoted(preset.name) + " is there already");
        *found = std::move(preset);
        return;
    }
    if (presets.size() >= kPresetLimit)
        throw InputError("the presets file holds " + std::to_string(kPresetLimit) +
                         " presets already: delete one first");
    presets.push_back(std::move(preset));
}

} // namespace zopra::settings
