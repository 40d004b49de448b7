// The window's modal boxes (messages, questions, the doctor's findings, file dialogs) and the
// clipboard. Each box shows its own arrow; the wait cursor comes back over the window after it.
#include "ui/win32/FileDialogs.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Window.h"

#include <commctrl.h>

#include <cstring>
#include <stdexcept>

namespace zopra::win32 {

void Win32Window::RestoreBusyCursor() const {
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32Window::ShowMessage(MessageKind kind, const std::string& text) {
    const UINT icon = kind == MessageKind::Error ? MB_ICONERROR : 0;
    MessageBoxW(handle_, Widen(text).c_str(), kBoxTitle, MB_OK | icon);
    RestoreBusyCursor();
}

bool Win32Window::ShowFindings(const std::string& text) {
    // The task dialog of the common controls: the findings in full, and a button of ours. At
    // its own width, not the longest line's, so that long lines wrap and nothing needs
    // scrolling sideways; Escape closes it (dialog cancellation).
    constexpr int kCopy = 100;
    const std::wstring content = Widen(text);
    const TASKDIALOG_BUTTON buttons[] = {{kCopy, L"&Copy"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = handle_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    config.dwCommonButtons = TDCBF_CLOSE_BUTTON;
    config.pszWindowTitle = kBoxTitle;
    config.pszMainInstruction = L"Why the cutter is not there";
    config.pszContent = content.c_str();
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = kCopy;
    int chosen = 0;
    const HRESULT shown = TaskDialogIndirect(&config, &chosen, nullptr, nullptr);
    RestoreBusyCursor();
    if (FAILED(shown)) {
        // Without the task dialog (an old common controls library), the plain box: its text
        // can be copied with Ctrl+C.
        ShowMessage(MessageKind::Message, text);
        return false;
    }
    return chosen == kCopy;
}

void Win32Window::CopyToClipboard(const std::string& text) {
    std::wstring wide = Widen(text);
    // Windows' own line ends, or pasting into Notepad runs the lines together.
    for (std::size_t at = wide.find(L'\n'); at != std::wstring::npos; at = wide.find(L'\n', at + 2))
        wide.insert(at, 1, L'\r');
    const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory == nullptr)
        throw std::runtime_error("The text could not be copied: out of memory.");
    if (void* target = GlobalLock(memory)) {
        std::memcpy(target, wide.c_str(), bytes);
        GlobalUnlock(memory);
    }
    if (!OpenClipboard(handle_)) {
        GlobalFree(memory);
        throw std::runtime_error("The text could not be copied: another program holds the "
                                 "clipboard.");
    }
    EmptyClipboard();
    // The clipboard owns the memory once it took it.
    if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr)
        GlobalFree(memory);
    CloseClipboard();
}

bool Win32Window::AskYesNo(const std::string& text) {
    const int answer = MessageBoxW(handle_, Widen(text).c_str(), kBoxTitle,
                                   MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
    RestoreBusyCursor();
    return answer == IDYES;
}

std::optional<std::string> Win32Window::ChooseFileToSave(const std::string& title,
                                                         const std::string& suggestedName,
                                                         const std::string& startFolder) {
    std::optional<std::string> path = ChooseFile(handle_, true, title, suggestedName, startFolder);
    RestoreBusyCursor();
    return path;
}

std::optional<std::string> Win32Window::ChooseFileToOpen(const std::string& title,
                                                         const std::string& startFolder) {
    std::optional<std::string> path = ChooseFile(handle_, false, title, {}, startFolder);
    RestoreBusyCursor();
    return path;
}

} // namespace zopra::win32
