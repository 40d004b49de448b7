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

// The files of one kind, by their ending ("json", "txt"), then all files.
struct FileKind {
    explicit FileKind(const std::wstring& ending)
        : ending(ending), name(L"*." + ending + L" files"), pattern(L"*." + ending) {}
    std::wstring ending, name, pattern;
    // The old dialog's filter: pairs of texts, each ended by a NUL, and one NUL more.
    std::wstring OldFilter() const {
        return name + L'\0' + pattern + L'\0' + L"All files (*.*)" + L'\0' + L"*.*" + L'\0';
    }
};

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
                            const std::wstring& suggested, const std::wstring& folder,
                            const FileKind& kind) {
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
    const COMDLG_FILTERSPEC filters[] = {{kind.name.c_str(), kind.pattern.c_str()},
                                         {L"All files (*.*)", L"*.*"}};
    dialog->SetFileTypes(static_cast<UINT>(std::size(filters)), filters);
    dialog->SetDefaultExtension(kind.ending.c_str());
    dialog->SetTitle(title.c_str());
    if (save && !suggested.empty())
        dialog->SetFileName(suggested.c_str());
    // SetFolder, not SetDefaultFolder: the form has chosen the folder (the one last used, or
    // Documents), and the dialog's own memory of this program's last folder would override it.
    ComPointer<IShellItem> start;
    if (!folder.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(start.Out()))))
        dialog->SetFolder(start.Get());
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
                                     const std::wstring& suggested, const std::wstring& folder,
                                     const FileKind& kind) {
    wchar_t path[32768] = {};
    suggested.copy(path, std::min<std::size_t>(suggested.size(), 260));
    OPENFILENAMEW request{};
    request.lStructSize = sizeof request;
    request.hwndOwner = owner;
    const std::wstring filter = kind.OldFilter();
    request.lpstrFilter = filter.c_str();
    request.lpstrFile = path;
    request.nMaxFile = static_cast<DWORD>(std::size(path));
    request.lpstrTitle = title.c_str();
    request.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    request.lpstrDefExt = kind.ending.c_str();
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

std::optional<std::string> ChooseFile(HWND owner, bool save, const std::string& title,
                                      const std::string& suggestedName,
                                      const std::string& startFolder) {
    const std::wstring wideTitle = Widen(title);
    // A suggested name holds no path separator or character a file name cannot have.
    std::wstring suggested = Widen(suggestedName);
    for (wchar_t& c : suggested)
        if (c < 0x20 || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos)
            c = L'_';
    // Opening takes a settings file; saving, a file of the kind suggested.
    const std::size_t dot = suggested.rfind(L'.');
    const FileKind kind(save && dot != std::wstring::npos && dot + 1 < suggested.size()
                            ? suggested.substr(dot + 1)
                            : std::wstring(L"json"));
    // A folder since removed is no place to start: the dialog's own choice is.
    std::wstring folder = Widen(startFolder);
    const DWORD attributes =
        folder.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        folder.clear();
    ItemDialogAnswer answer = ItemDialog(owner, save, wideTitle, suggested, folder, kind);
    if (!answer.failed)
        return answer.path;
    return OldDialog(owner, save, wideTitle, suggested, folder, kind);
}

} // namespace zopra::win32
