// The material presets on the "Setting" page: the list filled from the user's presets file,
// "Apply" writing the preset chosen and reading it back, "Save As..." keeping the page's
// settings under the name typed.
#include "form/MainForm.h"

#include "protocol/ModelRules.h"
#include "settings/InputError.h"

namespace zopra {

bool TMainForm_::ConnectionReadsBladeHolder() const {
    return !HidesBladeHolder(CBConnects.Text());
}

std::optional<std::vector<settings::Preset>> TMainForm_::LoadPresets() {
    std::vector<settings::Preset> presets;
    try {
        presets = FPresets.Load();
    } catch (const settings::InputError& error) {
        StatusLine.SetText(error.what());
        return std::nullopt;
    }
    // The name shown stays: chosen when it is a preset, as typed when it is a new one.
    const std::string shown = CBPreset.Text();
    CBPreset.Clear();
    int position = -1;
    for (const settings::Preset& preset : presets) {
        if (preset.name == shown)
            position = CBPreset.Count();
        CBPreset.AddEntry(preset.name);
    }
    CBPreset.SetPosition(position);
    if (position < 0)
        CBPreset.SetText(shown);
    return presets;
}

void TMainForm_::WriteAndReadBack(const SettingsUpdate& update, const MachineSettings& current,
                                  const std::string& done, const std::string& action) {
    const std::string note = UnwrittenEditsNote();
    settings::JournaledWrite journal = JournalWrite(action, current);
    WriteSettings(update);
    ReadParameters();
    const MachineSettings after = FSession.Known().Now().values;
    const std::vector<std::string> notTaken =
        settings::SettingsNotTaken(update, after, ConnectionReadsBladeHolder());
    journal.Done(ValuesOfCutter(settings::ValuesAfterUpdate(current, update)),
                 ValuesOfCutter(after));
    std::string outcome = done;
    if (!notTaken.empty()) {
        outcome = "The cutter did not take ";
        for (std::size_t i = 0; i < notTaken.size(); ++i)
            outcome += (i == 0 ? "" : ", ") + notTaken[i];
    }
    outcome += note;
    // The display tick that shows the read-back says it again, in place of "Settings read".
    StatusLine.SetText(outcome);
    FReadBackOutcome = outcome;
}

void TMainForm_::CBPresetDropDown() {
    LoadPresets();
}

void TMainForm_::BuApplyPresetClick() {
    BuApplyPreset.SetEnabled(false);
    Timer3.Start();
    const std::string name = CBPreset.Text();
    const auto presets = LoadPresets();
    if (!presets)
        return;
    const settings::Preset* preset = settings::FindPreset(*presets, name);
    if (preset == nullptr) {
        StatusLine.SetText(name.empty() ? "Choose a preset first; nothing was sent."
                                        : "There is no preset '" + name + "'; nothing was sent.");
        return;
    }
    const MachineSettings current = CutterHolds();
    SettingsUpdate update;
    try {
        update = settings::PlanPreset(*preset, current, ConnectionReadsBladeHolder());
    } catch (const settings::InputError& error) {
        StatusLine.SetText(std::string(error.what()) + "; nothing was sent.");
        Window.ShowMessage(MessageKind::Message, std::string(error.what()) + "; nothing was sent.");
        return;
    }
    WriteAndReadBack(update, current, "Preset '" + name + "' written and read back",
                     "Preset '" + name + "'");
}

void TMainForm_::BuSavePresetClick() {
    WithdrawStalePresetName();
    const std::string name = CBPreset.Text();
    if (!TakeTypedBladeOffset())
        return;
    const std::vector<std::string> unselected = UnselectedUpdateLists();
    // A list without a value is sent as "-1", which no preset may hold.
    const bool holder = ConnectionReadsBladeHolder();
    if (!unselected.empty() && (holder || unselected != std::vector{Label39.Text()})) {
        StatusLine.SetText("Choose a value for " + unselected.front() +
                           " first; no preset was saved.");
        return;
    }
    // The clean cut's offer keeps the settings that cut clean, under the name it offered.
    const SettingsUpdate kept =
        FCleanOffer && FCleanOffer->name == name ? FCleanOffer->settings : PageSettings();
    settings::Preset preset;
    try {
        preset = settings::PresetFromUpdate(name, "", kept, holder);
    } catch (const settings::InputError& error) {
        Window.ShowMessage(MessageKind::Message, error.what());
        return;
    }
    const auto presets = LoadPresets();
    if (!presets)
        return;
    const bool replace = settings::FindPreset(*presets, name) != nullptr;
    if (replace && !Window.AskYesNo("Replace the preset '" + name + "' with the page's settings?"))
        return;
    try {
        FPresets.Change([&](std::vector<settings::Preset>& kept) {
            settings::PutPreset(kept, preset, replace);
        });
    } catch (const settings::InputError& error) {
        StatusLine.SetText(error.what());
        Window.ShowMessage(MessageKind::Message, error.what());
        return;
    }
    LoadPresets();
    StatusLine.SetText("Preset '" + name + "' saved");
}

} // namespace zopra
