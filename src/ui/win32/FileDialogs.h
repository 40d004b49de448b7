#pragma once
// The file dialogs of the settings files: the common item dialog (IFileSaveDialog,
// IFileOpenDialog), and the older GetSaveFileNameW / GetOpenFileNameW where COM cannot make
// it. Modal over `owner`; the path chosen in UTF-8, or nothing when the user cancelled.
#include <windows.h>

#include <optional>
#include <string>

namespace zopra::win32 {

std::optional<std::string> ChooseSettingsFile(HWND owner, bool save, const std::string& title,
                                              const std::string& suggestedName);

} // namespace zopra::win32
