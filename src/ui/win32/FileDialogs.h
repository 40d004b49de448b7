#pragma once
// The file dialogs (settings files, the support report): the common item dialog
// (IFileSaveDialog, IFileOpenDialog), and the older GetSaveFileNameW / GetOpenFileNameW where
// COM cannot make it. Modal over `owner`; the path chosen in UTF-8, or nothing when the user
// cancelled. Saving offers the files of the suggested name's ending; opening, settings files.
// The dialog starts in `startFolder` (UTF-8) when it names a folder that exists.
#include <windows.h>

#include <optional>
#include <string>

namespace zopra::win32 {

std::optional<std::string> ChooseFile(HWND owner, bool save, const std::string& title,
                                      const std::string& suggestedName,
                                      const std::string& startFolder);

} // namespace zopra::win32
