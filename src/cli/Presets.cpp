#include "cli/Presets.h"

#include "cli/CliErrors.h"
#include "cli/Files.h"
#include "cli/History.h"
#include "settings/DocumentFiles.h"
#include "settings/SettingsPlan.h"

namespace zopra::cli {

using namespace settings;

namespace {

const Preset& Named(const std::vector<Preset>& presets, const std::string& name) {
    if (const Preset* preset = FindPreset(presets, name))
        return *preset;
    throw UsageError("there is no preset '" + name + "' (zopra-cli preset list)");
}

// "offset=0.250 force=120 weight=heavy ...", in the words of `set`.
std::string SettingsWords(const SettingsRequest& settings) {
    std::string words;
    const Json json = PresetSettingsJson(settings);
    for (const auto& [key, value] : json.items())
        if (!value.is_null())
            words += (words.empty() ? "" : " ") + key + "=" +
                     (value.is_string() ? value.get<std::string>() : value.dump());
    return words;
}

// Applies the preset to one open cutter: its read, the plan (refused before anything is
// sent), the update, the read-back; CutterFailure naming what the cutter did not take.
ReadResult ApplyTo(Cutter& cutter, const Preset& preset, std::string& notTaken, std::ostream& err) {
    const MachineSettings current = cutter.ReadParameters();
    const SettingsUpdate update = PlanPreset(preset, current, cutter.ReadsBladeHolder());
    JournaledWrite journal(cutter, current, "Preset '" + preset.name + "'", err);
    cutter.WriteSettings(update);
    ReadResult after = Read(cutter);
    journal.Done(ValuesAfterUpdate(current, update), after.values);
    notTaken = JoinLines(SettingsNotTaken(update, after.values, cutter.ReadsBladeHolder()));
    return after;
}

} // namespace

void RunPresetList(PresetStore& store, const Options& options, std::ostream& out) {
    const std::vector<Preset> presets = store.Load();
    if (options.json) {
        Json list = Json::array();
        for (const Preset& preset : presets)
            list.push_back(PresetJson(preset));
        out << Json{{"version", kJsonVersion}, {"presets", list}}.dump(2) << "\n";
        return;
    }
    for (const Preset& preset : presets)
        out << preset.name << "\n";
}

// A name that is taken: the command line says how to overwrite it.
template <typename Change> void ChangeSayingHowToReplace(PresetStore& store, Change&& change) {
    try {
        store.Change(std::forward<Change>(change));
    } catch (const PresetTaken& error) {
        throw PresetTaken(std::string(error.what()) + " (--replace overwrites it)");
    }
}

void RunPresetSave(PresetStore& store, const PresetArguments& a, const Options& options,
                   std::ostream& out, std::ostream& err) {
    CheckPresetName(a.name);
    store.Load(); // a broken file is named before the cutter is read
    auto cutter = Connect(a.device, options, err);
    const MachineSettings values = cutter->ReadParameters();
    Preset preset = PresetFromRead(a.name, a.note, values, cutter->ReadsBladeHolder());
    const std::string words = SettingsWords(preset.settings);
    ChangeSayingHowToReplace(store, [&](std::vector<Preset>& presets) {
        PutPreset(presets, std::move(preset), a.replace);
    });
    out << "Preset '" << a.name << "' saved: " << words << "\n";
}

void RunPresetShow(PresetStore& store, const PresetArguments& a, std::ostream& out) {
    const std::vector<Preset> presets = store.Load();
    const Preset& preset = Named(presets, a.name);
    out << preset.name << "\n  " << SettingsWords(preset.settings) << "\n";
    if (!preset.note.empty())
        out << "  Note: " << preset.note << "\n";
}

void RunPresetApply(PresetStore& store, const PresetArguments& a, const Options& options,
                    std::ostream& out, std::ostream& err) {
    if (a.all == !a.device.empty())
        throw UsageError("preset apply takes NAME and either DEVICE or --all");
    const std::vector<Preset> presets = store.Load();
    const Preset& preset = Named(presets, a.name);
    if (a.all) {
        const std::vector<CutterOutcome> outcomes =
            ForEveryCutter(options, err, [&](Cutter& cutter) {
                std::string notTaken;
                ReadResult after = ApplyTo(cutter, preset, notTaken, err);
                if (!notTaken.empty())
                    throw CutterFailure(notTaken);
                return after;
            });
        PrintAll(outcomes, options, out);
        FinishAll(outcomes, err);
        return;
    }
    auto cutter = Connect(a.device, options, err);
    std::string notTaken;
    PrintRead(ApplyTo(*cutter, preset, notTaken, err), options, out);
    if (!notTaken.empty())
        throw CutterFailure(notTaken);
}

void RunPresetDelete(PresetStore& store, const PresetArguments& a, std::ostream& out) {
    store.Change([&](std::vector<Preset>& presets) {
        const Preset& preset = Named(presets, a.name);
        presets.erase(presets.begin() + (&preset - presets.data()));
    });
    out << "Preset '" << a.name << "' deleted\n";
}

void RunPresetExport(PresetStore& store, const PresetArguments& a, std::ostream& out) {
    const std::string text = PresetsText(store.Load());
    if (a.file.empty() || a.file == "-")
        out << text;
    else
        ReplaceDocumentFile(PathFromArgument(a.file), text,
                            " (with -, the presets go to standard output)");
}

void RunPresetImport(PresetStore& store, const PresetArguments& a, std::ostream& out) {
    const std::string text = ReadDocumentArgument(a.file, "presets file");
    std::vector<Preset> imported;
    try {
        imported = ParsePresets(text);
    } catch (const UsageError& error) {
        throw UsageError(a.file + " cannot be imported: " + error.what());
    }
    // One name taken refuses the whole import: nothing is written.
    ChangeSayingHowToReplace(store, [&](std::vector<Preset>& presets) {
        for (Preset& preset : imported)
            PutPreset(presets, std::move(preset), a.replace);
    });
    out << "Imported " << imported.size() << (imported.size() == 1 ? " preset" : " presets")
        << " into " << PathText(store.File()) << "\n";
}

} // namespace zopra::cli
