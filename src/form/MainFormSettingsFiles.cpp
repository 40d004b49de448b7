// "Save..." and "Load..." on the "Setting" page: the cutter's settings as read, to a file of
// the user's in the document zopra-cli's backup writes, and such a file checked, its changes
// shown and, once the user agrees, written with the settings update and read back.
#include "form/MainForm.h"

#include "protocol/ModelRules.h"
#include "settings/BackupDocument.h"
#include "settings/CutterText.h"
#include "settings/DocumentFiles.h"
#include "settings/InputError.h"

#include "platform/UserFiles.h"

#include <filesystem>

namespace zopra {

std::string TMainForm_::FileDialogFolder() const {
    // Not the current folder: that is wherever the program was started from (the source
    // tree, or on Windows often Program Files).
    const std::string last = FLastPort->ReadFolder();
    std::error_code error;
    if (!last.empty() && std::filesystem::is_directory(settings::PathFromUtf8(last), error))
        return last;
    const std::u8string documents = platform::UserDocumentsFolder().u8string();
    return std::string(documents.begin(), documents.end());
}

void TMainForm_::RememberFileFolder(const std::string& chosenFile) {
    const std::u8string folder = settings::PathFromUtf8(chosenFile).parent_path().u8string();
    FLastPort->WriteFolder(std::string(folder.begin(), folder.end()));
}

void TMainForm_::BuSaveFileClick() {
    // What the cutter holds (asked again after a write not read back), never a page's edits.
    const MachineSettings values = CutterHolds();
    const std::optional<std::string> path = Window.ChooseFileToSave(
        "Save the cutter's settings", settings::CutterText(values.FModelName) + " settings.json",
        FileDialogFolder());
    if (!path)
        return;
    RememberFileFolder(*path);
    const settings::ReadResult read{ChosenPort(), values, ConnectionReadsBladeHolder(),
                                    values.FAasOffsetsRead && HasAasOffsets(values.FModelName)};
    try {
        settings::ReplaceDocumentFile(settings::PathFromUtf8(*path),
                                      settings::BackupJson(read).dump(2) + "\n");
    } catch (const settings::InputError& error) {
        StatusLine.SetText(error.what());
        Window.ShowMessage(MessageKind::Message, error.what());
        return;
    }
    StatusLine.SetText("Settings saved to " + *path);
}

void TMainForm_::BuLoadFileClick() {
    BuLoadFile.SetEnabled(false);
    Timer3.Start();
    const std::optional<std::string> path =
        Window.ChooseFileToOpen("Load settings into the cutter", FileDialogFolder());
    if (!path)
        return;
    RememberFileFolder(*path);
    const MachineSettings current = CutterHolds();
    const bool holder = ConnectionReadsBladeHolder();
    settings::Backup backup;
    SettingsUpdate update;
    try {
        backup = settings::ParseBackup(
            settings::ReadDocumentFile(settings::PathFromUtf8(*path), "settings file"));
        update = settings::PlanBackupUpdate(backup, current, holder);
    } catch (const settings::InputError& error) {
        const std::string text = *path + ": " + error.what() + "; nothing was sent.";
        StatusLine.SetText(text);
        Window.ShowMessage(MessageKind::Message, text);
        return;
    }
    const std::string model = settings::CutterText(current.FModelName);
    if (backup.values.FModelName != model &&
        !Window.AskYesNo("The file holds the settings of '" + backup.values.FModelName +
                         "'; the cutter is '" + settings::ShownText(current.FModelName) +
                         "'. Go on with it?"))
        return;

    // What the cutter holds now, as the update would write it; nothing when a value it
    // reported has no entry.
    std::optional<SettingsUpdate> before;
    try {
        before = settings::PlanSettingsUpdate({}, current, holder);
    } catch (const settings::InputError&) {
    }
    const std::vector<std::string> changes = settings::SettingsChanges(
        before, update, current.FModelName, InchesSelected(), Window.DecimalSeparator());
    if (changes.empty()) {
        StatusLine.SetText("The cutter holds the file's settings already; nothing was sent.");
        return;
    }
    std::string question = "Write these settings to the cutter?\n";
    for (const std::string& change : changes)
        question += "\n" + change;
    if (!Window.AskYesNo(question))
        return;
    WriteAndReadBack(update, current, "Settings of " + *path + " written and read back",
                     "Load " + settings::PathText(settings::PathFromUtf8(*path).filename()));
}

} // namespace zopra
