// The "Setting" page: reading the parameters again, writing the page's choices back to the
// cutter, the live blade force and blade offset, the two off-window scroll bars, and the
// switch between "mm/g" and "Inch/oz".
#include "form/MainForm.h"

#include "protocol/Commands.h"
#include "protocol/ModelRules.h"
#include "protocol/Numbers.h"
#include "protocol/ParameterDisplay.h"
#include "settings/SettingsPlan.h"

#include <cctype>
#include <stdexcept>
#include <string>
#include <utility>

namespace zopra {

void TMainForm_::BuQueryClick() {
    BuQuery.SetEnabled(false);
    Timer3.Start();
    ReadParameters();
}

// The lists whose position the update sends, by the captions beside them, that have no
// selection now (after a read whose replies never came, or with an offset typed into the
// list's field that is none of its entries).
std::vector<std::string> TMainForm_::UnselectedUpdateLists() const {
    const std::pair<const IList*, const ILabel*> lists[] = {
        {&CBOffset, &Label7},      {&CBWeight, &Label6}, {&CBAccel, &Label10},
        {&CBSmooth, &Label11},     {&CBUnroll, &Label8}, {&CBMedia, &Label9},
        {&CBBladeHolder, &Label39}};
    std::vector<std::string> names;
    for (const auto& [list, caption] : lists)
        if (list->Position() < 0)
            names.push_back(caption->Text());
    return names;
}

void TMainForm_::BuUpdateClick() {
    BuUpdate.SetEnabled(false);
    Timer3.Start();

    if (!TakeTypedBladeOffset())
        return;
    // "-1" is no setting the cutter knows, and half an update is worse than none: nothing
    // goes out until every list has a choice.
    const std::vector<std::string> unselected = UnselectedUpdateLists();
    if (!unselected.empty()) {
        std::string names;
        for (std::size_t i = 0; i + 1 < unselected.size(); ++i)
            names += (i == 0 ? "" : ", ") + unselected[i];
        names += (unselected.size() > 1 ? " and " : "") + unselected.back();
        Window.ShowMessage(MessageKind::Message,
                           "Choose a value for " + names + " first; nothing was sent.");
        return;
    }

    const SettingsUpdate update = PageSettings();
    const std::string changed = ChangedSettingsText(update);
    const MachineSettings held = FSession.Known().Now().values;
    settings::JournaledWrite journal = JournalWrite("Update", held);
    // Nothing is read back: a later read shows what the cutter kept. Until then the cutter's
    // settings are "written, not read back", and a workflow that builds on them reads first.
    WriteSettings(update);
    StatusLine.SetText("Settings written: " + changed);
    journal.Done(ValuesOfCutter(settings::ValuesAfterUpdate(held, update)), false, "all written");
}

void TMainForm_::WriteSettings(const SettingsUpdate& update) {
    StatusLine.SetText("Writing the settings...");
    // Back to back, no pause of the window's own.
    const std::vector<std::string> writes = SettingsUpdateWrites(update);
    for (std::size_t written = 0; written < writes.size(); ++written) {
        try {
            WriteToLink(writes[written]);
        } catch (const LinkWriteError& error) {
            if (written == 0)
                throw;
            throw std::runtime_error(std::string(error.what()) + " " + std::to_string(written) +
                                     " of the " + std::to_string(writes.size()) +
                                     " settings were written before the connection was lost.");
        }
    }
    FSettingsRead = update;
}

SettingsUpdate TMainForm_::PageSettings() const {
    SettingsUpdate update;
    update.offsetIndex = CBOffset.Position();
    update.weightIndex = CBWeight.Position();
    update.accelIndex = CBAccel.Position();
    update.smoothIndex = CBSmooth.Position();
    update.unrollIndex = CBUnroll.Position();
    update.mediaIndex = CBMedia.Position();
    update.forceValue = BladeForceValue(FRecord.Read().FModelName, SBForce.Position());
    update.bladeHolderIndex = CBBladeHolder.Position();
    return update;
}

std::string TMainForm_::ChangedSettingsText(const SettingsUpdate& update) const {
    return SettingsDifferenceText(update, FSettingsRead.value_or(SettingsUpdate{}));
}

std::string TMainForm_::SettingsDifferenceText(const SettingsUpdate& update,
                                               const SettingsUpdate& before) const {
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    };
    const struct {
        bool changed;
        const ILabel& caption;
        std::string value;
    } settings[] = {
        {update.forceValue != before.forceValue, Label5, LaForce.Text() + " " + Label28.Text()},
        {update.offsetIndex != before.offsetIndex, Label7, CBOffset.Text() + " " + Label29.Text()},
        {update.mediaIndex != before.mediaIndex, Label9, CBMedia.Text()},
        {update.weightIndex != before.weightIndex, Label6, CBWeight.Text()},
        {update.unrollIndex != before.unrollIndex, Label8, CBUnroll.Text()},
        {update.accelIndex != before.accelIndex, Label10, CBAccel.Text()},
        {update.smoothIndex != before.smoothIndex, Label11, CBSmooth.Text()},
        {update.bladeHolderIndex != before.bladeHolderIndex, Label39, CBBladeHolder.Text()},
    };
    std::string text;
    for (const auto& setting : settings)
        if (setting.changed)
            text +=
                (text.empty() ? "" : ", ") + lower(setting.caption.Text()) + " " + setting.value;
    return text.empty() ? "no value changed" : text;
}

bool TMainForm_::TakeTypedBladeOffset() {
    const std::string typed = CBOffset.Text();
    if (CBOffset.Position() >= 0 || typed.find_first_not_of(' ') == std::string::npos)
        return true;
    long double value = 0;
    try {
        value = StrToFloat(typed, Window.DecimalSeparator());
    } catch (const ConversionError&) {
        return true; // marked already; the update names the list as having no value
    }
    if (const std::optional<int> entry =
            BladeOffsetEntryIndex(BladeOffsetFromDisplay(value, InchesSelected()))) {
        CBOffset.SetPosition(*entry);
        CBOffset.SetMarked(false);
        return true;
    }
    std::string allowed;
    for (int index = 0; index < CBOffset.Count(); ++index)
        allowed += (index == 0 ? "" : ", ") + CBOffset.Entry(index);
    CBOffset.SetMarked(true);
    StatusLine.SetText(Label7.Text() + ": " + typed + " is none of the offsets the cutter takes (" +
                       allowed + " " + Label29.Text() + "); nothing was sent.");
    return false;
}

void TMainForm_::SBForceChange() {
    LaForce.SetText(
        BladeForceText(SBForce.Position(), InchesSelected(), Window.DecimalSeparator()));
    WithdrawStalePresetName();
}

void TMainForm_::CBOffsetChange() {
    // Typing passes through texts that are no number yet ("", "0,", a slip of the finger):
    // such a text is marked at the field and named in the status line, nothing is converted,
    // and the user types on. An action that needs the value says so when it is asked for.
    long double typed = 0;
    const std::string notANumber = NotANumberText(Label7.Text(), CBOffset.Text());
    try {
        typed = StrToFloat(CBOffset.Text(), Window.DecimalSeparator());
    } catch (const ConversionError&) {
        CBOffset.SetMarked(true);
        StatusLine.SetText(notANumber);
        FOffsetMessage = notANumber;
        return;
    }
    CBOffset.SetMarked(false);
    // The field's complaint goes once its text is a number; another message stays.
    if (!FOffsetMessage.empty() && StatusLine.Text() == FOffsetMessage)
        StatusLine.SetText("");
    FOffsetMessage.clear();
    const long double micrometres = BladeOffsetFromDisplay(typed, InchesSelected());
    FRecord.Write(
        [&](MachineSettings& values) { values.FBladeOffset = static_cast<double>(micrometres); });
    WithdrawStalePresetName();
}

void TMainForm_::SBSpeedChange() {
    LaSpeed.SetText(std::to_string(SBSpeed.Position()));
}

void TMainForm_::SBOffsetChange() {
    LaOffset.SetText(OffsetBarText(SBOffset.Position(), Window.DecimalSeparator()));
}

void TMainForm_::CoUnitChange() {
    const int unit = CoUnit.Position();
    if (unit != 0 && unit != 1)
        return; // no unit chosen: nothing to switch to
    // Worked out whole before anything changes: a text that does not convert leaves every
    // control, the unit list too, in the unit it showed. The offset text is converted only
    // on a real change: picking the unit already shown, or the display's closing call in
    // that unit, must not multiply it once more.
    const int position = CBOffset.Position();
    UnitSwitch u;
    try {
        u = MakeUnitSwitch(FRecord.Read(), unit == 1, unit != FShownUnit, CBOffset.Text(),
                           SBForce.Position(), Window.DecimalSeparator());
    } catch (...) {
        CoUnit.SetPosition(FShownUnit);
        throw;
    }

    Label21.SetText(u.lengthUnit);
    LaLength.SetText(u.length);
    LaWidth.SetText(u.width);
    CBOffset.Clear();
    for (const std::string& entry : u.offsetEntries)
        CBOffset.AddEntry(entry);
    CBOffset.SetPosition(position);
    // An offset typed into the field (no entry selected) stays there, in the new unit.
    if (position < 0)
        CBOffset.SetText(u.offsetText);
    LaForce.SetText(u.force);
    for (ILabel* label :
         {&Label20, &Label29, &Label32, &Label33, &Label18, &Label35, &Label27, &Label26})
        label->SetText(u.lengthUnit);
    Label28.SetText(u.forceUnit);
    // A loop's steps and the answer about its last cut belong to the unit they were taken in.
    if (unit != FShownUnit)
        ResetTuning();
    FShownUnit = unit;
    ShowTestCutUnit();
}

} // namespace zopra
