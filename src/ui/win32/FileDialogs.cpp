#include "ui/win32/FileDialogs.h"

#include "platform/Trace.h"
#include "ui/win32/WideText.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include <commdlg.h>
#include <shobjidl.h>

namespace zopra::win32 {

namespace {

constexpr COMDLG_FILTERSPEC kFilters[] = {{L"Settings files (*.json)", L"*.json"},
                                          {L"All files (*.*)", L"*.*"}};

// COM on this thread for as long as it lives (the window's thread is a single-threaded
// apartment, as the common dialogs want).
class ComApartment {
public:
    ComApartment()
        : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    bool Usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

private:
    HRESULT result_;
};

template <typename T> class ComPointer {
public:
    ~ComPointer() {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    T** Out() { return &pointer_; }
    T* operator->() const { return pointer_; }
    T* Get() const { return pointer_; }

private:
    T* pointer_ = nullptr;
};

// The item dialog's answer; `failed` when the dialog could not be made or shown, so that the
// older dialog is tried.
struct ItemDialogAnswer {
    std::optional<std::string> path;
    bool failed = false;
};

ItemDialogAnswer ItemDialog(HWND owner, bool save, const std::wstring& title,
                            const std::wstring& suggested) {
    const ComApartment apartment;
    if (!apartment.Usable())
        return {std::nullopt, true};
    ComPointer<IFileDialog> dialog;
    const HRESULT made =
        save ? CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileSaveDialog, reinterpret_cast<void**>(dialog.Out()))
             : CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.Out()));
    if (FAILED(made)) {
        platform::TraceFailure("CoCreateInstance (the file dialog)", static_cast<int>(made));
        return {std::nullopt, true};
    }
    DWORD options = 0;
    dialog->GetOptions(&options);
    options |= FOS_FORCEFILESYSTEM | (save ? FOS_OVERWRITEPROMPT : FOS_FILEMUSTEXIST);
    dialog->SetOptions(options);
    dialog->SetFileTypes(static_cast<UINT>(std::size(kFilters)), kFilters);
    dialog->SetDefaultExtension(L"json");
    dialog->SetTitle(title.c_str());
    if (save && !suggested.empty())
        dialog->SetFileName(suggested.c_str());
    const HRESULT shown = dialog->Show(owner);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return {};
    if (FAILED(shown)) {
        platform::TraceFailure("IFileDialog::Show", static_cast<int>(shown));
        return {std::nullopt, true};
    }
    ComPointer<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Out())))
        return {std::nullopt, true};
    PWSTR path = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        return {std::nullopt, true};
    std::string chosen = Narrow(path);
    CoTaskMemFree(path);
    return {std::move(chosen), false};
}

std::optional<std::string> OldDialog(HWND owner, bool save, const std::wstring& title,
                                     const std::wstring& suggested) {
    wchar_t path[32768] = {};
    suggested.copy(path, std::min<std::size_t>(suggested.size(), 260));
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    request.lpstrFilter = L"Settings files (*.json)\0*.json\0All files (*.*)\0*.*\0";
    request.lpstrFile = path;
    request.nMaxFile = static_cast<DWORD>(std::size(path));
    request.lpstrTitle = title.c_str();
    request.lpstrDefExt = L"json";
    request.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR |
                    (save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
    const BOOL chosen = save ? GetSaveFileNameW(&request) : GetOpenFileNameW(&request);
    if (!chosen) {
        if (const DWORD error = CommDlgExtendedError())
            platform::TraceFailure("GetSaveFileNameW / GetOpenFileNameW", static_cast<int>(error));
        return std::nullopt;
    }
    return Narrow(path);
}

} // namespace

std::optional<std::string> ChooseSettingsFile(HWND owner, bool save, const std::string& title,
                                              const std::string& suggestedName) {
    const std::wstring wideTitle = Widen(title);
    // A suggested name holds no path separator or character a file name cannot have.
    std::wstring suggested = Widen(suggestedName);
    for (wchar_t& c : suggested)
        if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            c = L'_';
    ItemDialogAnswer answer = ItemDialog(owner, save, wideTitle, suggested);
    if (!answer.failed)
        return answer.path;
    return OldDialog(owner, save, wideTitle, suggested);
}

} // namespace zopra::win32
