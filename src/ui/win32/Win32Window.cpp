#include "ui/win32/Win32Window.h"

#include "form/DecimalSeparator.h"
#include "form/Layout.h"
#include "form/Placement.h"
#include "ui/win32/FileDialogs.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Controls.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <exception>
#include <stdexcept>
#include <utility>
#include <vector>

namespace zopra::win32 {

namespace {

const wchar_t kWindowClass[] = L"ZopraMainWindow";
// Wakes the interface thread for the tasks other threads posted.
constexpr UINT kRunTasks = WM_APP + 1;
// The icon in the exe's resources (zopra.rc).
constexpr int kIconResource = 1;
// A fixed frame: no resizing, no minimise or maximise box.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// The keyboard cues that Windows hides until a key is pressed.
constexpr WORD kAlwaysShown = UISF_HIDEFOCUS | UISF_HIDEACCEL;
// Every box is titled with the program's name.
constexpr wchar_t kBoxTitle[] = L"zopra";
// Sent to a per-monitor aware window on a move to a monitor of another scale (Windows 8.1).
constexpr UINT kWmDpiChanged = 0x02E0;

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

// The window's dpi as Windows 10 (1607 and later) reports it for the monitor it is on; 0 where
// the call is missing (the screen's dpi then holds for every monitor).
int WindowDpi(HWND window) {
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    static const auto call = reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return call != nullptr ? static_cast<int>(call(window)) : 0;
}

// The frame around a client area at a dpi: the frame's metrics follow the monitor's dpi.
RECT FrameFor(int clientWidth, int clientHeight, int dpi) {
    RECT frame{0, 0, clientWidth, clientHeight};
    using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto call = reinterpret_cast<AdjustForDpiCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (call == nullptr || !call(&frame, kWindowStyle, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, kWindowStyle, FALSE, 0);
    return frame;
}

// Every class of input, so that nothing the user did during a wait runs once it is over. The
// message ranges, not PM_QS_INPUT: with the project's _WIN32_WINNT, QS_INPUT leaves out
// touch and pointer input, and Windows 7 refuses the flags that name them.
struct MessageRange {
    UINT first;
    UINT last;
};
constexpr UINT kWmInput = 0x00FF;       // raw input
constexpr UINT kWmGesture = 0x0119;     // WM_GESTURE, Windows 7
constexpr UINT kWmTouchFirst = 0x0240;  // WM_TOUCH, Windows 7, then the pointer messages
constexpr UINT kWmPointerLast = 0x024F; // (pen, touch, touchpad), Windows 8: to WM_POINTERHWHEEL
constexpr MessageRange kInputRanges[] = {
    {WM_KEYFIRST, WM_KEYLAST},            // keys and characters, Alt keys included
    {WM_MOUSEFIRST, WM_MOUSELAST},        // clicks, moves and the wheel in the client area
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}, // clicks on the frame
    {kWmInput, kWmInput},
    {kWmGesture, kWmGesture},
    {kWmTouchFirst, kWmPointerLast},
};

// A close asked for with the mouse on the close box or with Alt+F4.
bool AsksToClose(const MSG& message) {
    return (message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE) ||
           (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4);
}

// The form's reports never throw; this stops anything else before it unwinds through Win32.
// The box belongs to the window, which stays disabled under it.
template <typename Action> void Contained(HWND owner, Action&& action) noexcept {
    try {
        std::forward<Action>(action)();
    } catch (const std::exception& error) {
        MessageBoxW(owner, Widen(error.what()).c_str(), kBoxTitle, MB_OK | MB_ICONERROR);
    } catch (...) {
        MessageBoxW(owner, L"", kBoxTitle, MB_OK | MB_ICONERROR);
    }
}

} // namespace

// A one-shot timer on SetTimer: Win32 timers repeat until killed, so each tick kills it.
class Win32Window::OneShot final : public ITimer {
public:
    OneShot(HWND window, UINT_PTR id, UINT intervalMs)
        : window_(window), id_(id), interval_(intervalMs) {}
    ~OneShot() override { KillTimer(window_, id_); }
    OneShot(const OneShot&) = delete;
    OneShot& operator=(const OneShot&) = delete;

    // SetTimer on a running id starts its interval again.
    void Start() override { active_ = SetTimer(window_, id_, interval_, nullptr) != 0; }
    void Stop() override {
        active_ = false;
        KillTimer(window_, id_);
    }
    bool Active() const override { return active_; }
    void Elapsed() {
        KillTimer(window_, id_);
        if (std::exchange(active_, false))
            ReportTick();
    }

private:
    HWND window_;
    UINT_PTR id_;
    UINT interval_;
    bool active_ = false;
};

Win32Window::Win32Window() : dpi_(ScreenDpi()) {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);

    const WindowFrame& look = MainWindowFrame();
    MakeFont();

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);

    const RECT frame = FrameFor(Scale(look.clientWidth), Scale(look.clientHeight), dpi_);
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const ScreenPoint at =
        CentredWithin({work.left, work.top, work.right - work.left, work.bottom - work.top},
                      frameWidth, frameHeight);
    CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Widen(look.title).c_str(), kWindowStyle,
                    at.left, at.top, frameWidth, frameHeight, nullptr, nullptr, instance, this);
    if (!handle_)
        throw std::runtime_error(
            "The window could not be created (Error: " + std::to_string(GetLastError()) + ")");
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    Build();
    // Made on a monitor whose scale is not the primary screen's: scaled as if moved there.
    if (const int dpi = WindowDpi(handle_); dpi > 0 && dpi != dpi_) {
        RECT now{};
        GetWindowRect(handle_, &now);
        const RECT scaled =
            FrameFor(MulDiv(look.clientWidth, dpi, 96), MulDiv(look.clientHeight, dpi, 96), dpi);
        RECT suggested{now.left, now.top, now.left + scaled.right - scaled.left,
                       now.top + scaled.bottom - scaled.top};
        ChangeDpi(dpi, suggested);
    }
    // Focus rectangles and the buttons' letters always show, not only once a key was pressed.
    SendMessageW(handle_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, kAlwaysShown), 0);
}

Win32Window::~Win32Window() {
    if (handle_)
        DestroyWindow(handle_);
}

void Win32Window::MakeFont() {
    const WindowFrame& look = MainWindowFrame();
    // Pixels, not points: a character height, hence negative.
    font_.reset(
        CreateFontW(-Scale(look.fontPixelSize), 0, 0, 0, look.fontBold ? FW_BOLD : FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Widen(look.fontFamily).c_str()));
}

void Win32Window::ChangeDpi(int dpi, const RECT& suggested) {
    dpi_ = dpi;
    // The controls keep the old font until they have the new one.
    auto oldFont = std::move(font_);
    MakeFont();
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
    // Parents first, as the layout table lists them: a tab control places its pages.
    for (const ControlRow& layoutRow : MainWindowLayout())
        if (const auto found = controls_.find(layoutRow.id); found != controls_.end())
            if (auto* child = dynamic_cast<Win32Child*>(found->second.get()))
                child->Rescale();
    SetWindowPos(handle_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32Window::ColoursChanged() {
    // The common controls learn of a new scheme only from their top-level window.
    for (const auto& [handle, child] : byHandle_)
        SendMessageW(handle, WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void Win32Window::Build() {
    const std::vector<ControlRow>& layout = MainWindowLayout();
    std::map<ControlId, HWND> parents{{ControlId::Window, handle_}};
    for (const ControlRow& layoutRow : layout) {
        if (layoutRow.kind == ControlKind::Page)
            continue; // made by its tab control
        if (layoutRow.kind == ControlKind::Timer) {
            const auto id = static_cast<UINT_PTR>(layoutRow.id);
            timers_[layoutRow.id] =
                std::make_unique<OneShot>(handle_, id, static_cast<UINT>(layoutRow.intervalMs));
            continue;
        }
        // Right of the client area nothing is ever seen: labels and bars there are plain fields.
        const bool offScreen = layoutRow.parent == ControlId::Window &&
                               layoutRow.bounds.left >= MainWindowFrame().clientWidth;
        if (offScreen && layoutRow.kind == ControlKind::Label) {
            controls_[layoutRow.id] = std::make_unique<FieldLabel>(layoutRow);
            continue;
        }
        if (offScreen && layoutRow.kind == ControlKind::ScrollBar) {
            controls_[layoutRow.id] = std::make_unique<FieldScrollBar>(layoutRow);
            continue;
        }
        const Placement place{parents.at(layoutRow.parent),
                              kFirstControlId + static_cast<int>(layoutRow.id), layoutRow.bounds};
        std::unique_ptr<IControl> control;
        Win32Child* child = nullptr;
        const auto make = [&](auto made) {
            child = made.get();
            control = std::move(made);
        };
        switch (layoutRow.kind) {
        case ControlKind::Label:
        case ControlKind::Heading:
            make(std::make_unique<Win32Label>(*this, layoutRow, place));
            break;
        case ControlKind::Button:
            make(std::make_unique<Win32Button>(*this, layoutRow, place));
            break;
        case ControlKind::Edit:
            make(std::make_unique<Win32Edit>(*this, layoutRow, place));
            break;
        case ControlKind::List:
            make(std::make_unique<Win32List>(*this, layoutRow, place));
            break;
        case ControlKind::ScrollBar:
            make(std::make_unique<Win32ScrollBar>(*this, layoutRow, place));
            break;
        case ControlKind::UpDown:
            make(std::make_unique<Win32UpDown>(*this, layoutRow, place,
                                               HandleOf(SpinnerBuddy(layoutRow.id))));
            break;
        case ControlKind::Tabs: {
            std::vector<const ControlRow*> pages;
            for (const ControlRow& row : layout)
                if (row.kind == ControlKind::Page && row.parent == layoutRow.id)
                    pages.push_back(&row);
            auto tabs = std::make_unique<Win32Tabs>(*this, layoutRow, place, pages);
            for (const ControlRow* page : pages)
                parents[page->id] = tabs->PageWindow(page->id);
            make(std::move(tabs));
            break;
        }
        case ControlKind::Page:
        case ControlKind::Timer:
            break;
        }
        control->SetEnabled(layoutRow.enabled);
        control->SetVisible(layoutRow.visible);
        byHandle_[child->Handle()] = child;
        controls_[layoutRow.id] = std::move(control);
    }
}

ITimer& Win32Window::Timer(ControlId id) {
    return *timers_.at(id);
}

int Win32Window::Scale(int designPixels) const {
    return MulDiv(designPixels, dpi_, 96);
}

void Win32Window::Show() {
    ReportShow();
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
    MoveFocus(nullptr, false);
}

int Win32Window::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // No key goes to the dialog manager (IsDialogMessage): its walk from a control on a
        // page would pass the tab control, which is no control parent, and can loop for ever
        // there. The arrow keys reach the tab control and the scroll bar, which answer them
        // themselves, and Space a button.
        if (handle_ && HandleKeyboard(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

HWND Win32Window::HandleOf(ControlId id) const {
    const auto found = controls_.find(id);
    const auto* child =
        found == controls_.end() ? nullptr : dynamic_cast<const Win32Child*>(found->second.get());
    return child != nullptr ? child->Handle() : nullptr;
}

bool Win32Window::HandleKeyboard(const MSG& message) {
    if (message.hwnd != handle_ && !IsChild(handle_, message.hwnd))
        return false;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0) {
        MoveFocus(GetFocus(), GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    // Enter presses the focused button, as in a dialog.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        const auto found = byHandle_.find(message.hwnd);
        if (found != byHandle_.end() && dynamic_cast<Win32Button*>(found->second) != nullptr) {
            SendMessageW(message.hwnd, BM_CLICK, 0, 0);
            return true;
        }
        return false;
    }
    return message.message == WM_SYSCHAR && PressButtonWithLetter(message.wParam);
}

bool Win32Window::PressButtonWithLetter(WPARAM character) {
    const auto letter = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(character)));
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        if (layoutRow.kind != ControlKind::Button || layoutRow.mnemonic == 0 ||
            static_cast<wchar_t>(std::tolower(static_cast<unsigned char>(layoutRow.mnemonic))) !=
                letter)
            continue;
        HWND button = HandleOf(layoutRow.id);
        // The letter of a button on the page not shown belongs to the page shown.
        if (button != nullptr && IsWindowVisible(button) && IsWindowEnabled(button)) {
            SetFocus(button);
            SendMessageW(button, BM_CLICK, 0, 0);
            return true;
        }
    }
    return false;
}

void Win32Window::MoveFocus(HWND from, bool backwards) {
    std::vector<HWND> order;
    for (ControlId id : TabOrder())
        if (HWND control = HandleOf(id))
            order.push_back(control);
    // The focus may sit in a part of a control (a list's field).
    auto at = order.end();
    for (HWND window = from; window != nullptr && window != handle_ && at == order.end();
         window = GetParent(window))
        at = std::find(order.begin(), order.end(), window);
    const auto count = static_cast<std::ptrdiff_t>(order.size());
    std::ptrdiff_t index = at == order.end() ? (backwards ? 0 : -1) : at - order.begin();
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = (index + (backwards ? count - 1 : 1)) % count;
        HWND next = order[static_cast<std::size_t>(index)];
        if (next != from && IsWindowVisible(next) && IsWindowEnabled(next)) {
            SetFocus(next);
            // A field reached with the keyboard is selected whole, as in a dialog.
            if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageW(next, EM_SETSEL, 0, -1);
            return;
        }
    }
    SetFocus(handle_);
}

void Win32Window::FocusAwayFrom(HWND control) {
    const HWND focus = GetFocus();
    if (focus != nullptr && (focus == control || IsChild(control, focus)))
        MoveFocus(control, false);
}

bool Win32Window::Route(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const auto find = [this](HWND handle) -> Win32Child* {
        const auto found = byHandle_.find(handle);
        return found == byHandle_.end() ? nullptr : found->second;
    };
    switch (message) {
    case WM_COMMAND:
        if (Win32Child* control = find(reinterpret_cast<HWND>(lParam))) {
            Contained(handle_, [&] { control->Command(HIWORD(wParam)); });
            result = 0;
            return true;
        }
        return false;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        bool handled = false;
        if (Win32Child* control = find(header->hwndFrom))
            Contained(handle_, [&] { handled = control->Notify(*header, result); });
        return handled;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        if (Win32Child* control = find(reinterpret_cast<HWND>(lParam))) {
            Contained(handle_, [&] { control->Scroll(LOWORD(wParam)); });
            result = 0;
            return true;
        }
        return false;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC: {
        const auto asking = reinterpret_cast<HWND>(lParam);
        // An editable list passes its field's request up: the field is the list's child.
        Win32Child* control = find(asking);
        if (control == nullptr)
            control = find(GetParent(asking));
        if (control != nullptr) {
            if (HBRUSH brush = control->Background(reinterpret_cast<HDC>(wParam))) {
                result = reinterpret_cast<LRESULT>(brush);
                return true;
            }
        }
        return false;
    }
    default:
        return false;
    }
}

void Win32Window::ShowMessage(MessageKind kind, const std::string& text) {
    // The box has its own arrow cursor; the wait cursor comes back over the window after it.
    const UINT icon = kind == MessageKind::Error ? MB_ICONERROR : 0;
    MessageBoxW(handle_, Widen(text).c_str(), kBoxTitle, MB_OK | icon);
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

bool Win32Window::ShowFindings(const std::string& text) {
    // The task dialog of the common controls: the findings in full, and a button of ours.
    constexpr int kCopy = 100;
    const std::wstring content = Widen(text);
    const TASKDIALOG_BUTTON buttons[] = {{kCopy, L"&Copy"}};
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = handle_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_SIZE_TO_CONTENT;
    config.dwCommonButtons = TDCBF_CLOSE_BUTTON;
    config.pszWindowTitle = kBoxTitle;
    config.pszMainInstruction = L"Why the cutter is not there";
    config.pszContent = content.c_str();
    config.cButtons = 1;
    config.pButtons = buttons;
    config.nDefaultButton = kCopy;
    int chosen = 0;
    const HRESULT shown = TaskDialogIndirect(&config, &chosen, nullptr, nullptr);
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
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
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return answer == IDYES;
}

std::optional<std::string> Win32Window::ChooseFileToSave(const std::string& title,
                                                         const std::string& suggestedName,
                                                         const std::string& startFolder) {
    std::optional<std::string> path = ChooseFile(handle_, true, title, suggestedName, startFolder);
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return path;
}

std::optional<std::string> Win32Window::ChooseFileToOpen(const std::string& title,
                                                         const std::string& startFolder) {
    std::optional<std::string> path = ChooseFile(handle_, false, title, {}, startFolder);
    if (busy_ > 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    return path;
}

void Win32Window::BeginBusyCursor() {
    if (busy_++ == 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32Window::EndBusyCursor() {
    if (busy_ > 0 && --busy_ == 0) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        // Several waits never look at the queue (a pause, a write, an opening): what the user
        // did during them is dropped now that the outermost one is over.
        DropInput();
    }
}

void Win32Window::DropInput() {
    // A click on the close box or Alt+F4 is input too; taken out of the queue, it asks to
    // close, which ends a wait. Everything else is dropped, as in the Qt window: a tap on a
    // button while the cutter is busy must not run that button once the wait is over.
    MSG message;
    for (const MessageRange& range : kInputRanges)
        while (PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE))
            if (handle_ && AsksToClose(message))
                PostMessageW(handle_, WM_CLOSE, 0, 0);
}

void Win32Window::ProcessPendingEvents() {
    DropInput();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0,
                        PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // for the event loop
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Window::CloseWindow() {
    PostMessageW(handle_, WM_CLOSE, 0, 0);
}

void Win32Window::PostToInterfaceThread(std::function<void()> task) {
    {
        const std::lock_guard lock(tasksLock_);
        tasks_.push_back(std::move(task));
    }
    // A wake-up that finds the queue already emptied does nothing.
    PostMessageW(handle_, kRunTasks, 0, 0);
}

void Win32Window::RunPostedTasks() {
    std::deque<std::function<void()>> tasks;
    {
        const std::lock_guard lock(tasksLock_);
        tasks.swap(tasks_);
    }
    for (std::function<void()>& task : tasks)
        Contained(handle_, task);
}

char Win32Window::DecimalSeparator() const {
    wchar_t separator[8] = {};
    const int length =
        GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDECIMAL, separator, std::size(separator));
    // The length counts the closing null.
    return UsableDecimalSeparator(
        std::u16string_view(reinterpret_cast<const char16_t*>(separator),
                            static_cast<std::size_t>(std::max(length - 1, 0))));
}

LRESULT CALLBACK Win32Window::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->handle_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->HandleMessage(message, wParam, lParam);
}

LRESULT Win32Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (const auto found = timers_.find(static_cast<ControlId>(wParam));
            found != timers_.end()) {
            Contained(handle_, [&] { found->second->Elapsed(); });
            return 0;
        }
        break;
    case kRunTasks:
        RunPostedTasks();
        return 0;
    case WM_SETCURSOR:
        if (busy_ > 0) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CLOSE:
        // During a wait the form ends the wait first, then asks again through CloseWindow.
        if (!CloseQueryAllows())
            return 0;
        break;
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        ColoursChanged();
        return 0;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETHIGHCONTRAST)
            ColoursChanged();
        break;
    case kWmDpiChanged:
        // Per-monitor aware: Windows leaves the scaling to the window and suggests its frame.
        ChangeDpi(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_CHANGEUISTATE:
        if (LOWORD(wParam) == UIS_SET && (HIWORD(wParam) & kAlwaysShown) != 0)
            return 0;
        break;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focus = GetFocus();
            lastFocus_ = focus != nullptr && IsChild(handle_, focus) ? focus : nullptr;
        }
        break;
    case WM_SETFOCUS:
        // A window that is not a dialog keeps the focus itself on activation: give it back to
        // the control that had it.
        if (lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) &&
            IsWindowEnabled(lastFocus_))
            SetFocus(lastFocus_);
        else
            MoveFocus(nullptr, false);
        return 0;
    case WM_DESTROY: {
        // Nothing reaches the controls once their windows are going.
        const HWND window = std::exchange(handle_, nullptr);
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        byHandle_.clear();
        PostQuitMessage(0);
        return 0;
    }
    default:
        if (LRESULT result = 0; Route(message, wParam, lParam, result))
            return result;
        break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

} // namespace zopra::win32
