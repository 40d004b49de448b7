#include "ui/win32/Win32Window.h"

#include "form/DecimalSeparator.h"
#include "form/Layout.h"
#include "form/Placement.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Controls.h"

#include <commctrl.h>

#include <algorithm>
#include <cctype>
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
// Sent to a per-monitor aware window on a move to a monitor of another scale (Windows 8.1).
constexpr UINT kWmDpiChanged = 0x02E0;

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

Win32Window::Win32Window() {
    INITCOMMONCONTROLSEX classes{sizeof classes,
                                 ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&classes);

    const WindowFrame& frameDesign = MainWindowFrame();
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

    const RECT frame = FrameFor(look_.Scale(frameDesign.clientWidth),
                                look_.Scale(frameDesign.clientHeight), look_.Dpi(), kWindowStyle);
    const int frameWidth = frame.right - frame.left;
    const int frameHeight = frame.bottom - frame.top;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const ScreenPoint at =
        CentredWithin({work.left, work.top, work.right - work.left, work.bottom - work.top},
                      frameWidth, frameHeight);
    CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, Widen(frameDesign.title).c_str(),
                    kWindowStyle, at.left, at.top, frameWidth, frameHeight, nullptr, nullptr,
                    instance, this);
    if (!handle_)
        throw std::runtime_error(
            "The window could not be created (Error: " + std::to_string(GetLastError()) + ")");
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(look_.Font()), FALSE);
    Build();
    TeachKeyboard();
    // Made on a monitor whose scale is not the primary screen's: scaled as if moved there.
    if (const int dpi = WindowDpi(handle_); dpi > 0 && dpi != look_.Dpi()) {
        RECT now{};
        GetWindowRect(handle_, &now);
        const RECT scaled = FrameFor(MulDiv(frameDesign.clientWidth, dpi, 96),
                                     MulDiv(frameDesign.clientHeight, dpi, 96), dpi, kWindowStyle);
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

void Win32Window::ChangeDpi(int dpi, const RECT& suggested) {
    // The controls keep the old font until they have the new one.
    const OwnedFont oldFont = look_.ChangeDpi(dpi);
    SendMessageW(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(look_.Font()), FALSE);
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
    const ControlContext context{look_, keyboard_};
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
            make(std::make_unique<Win32Label>(context, layoutRow, place));
            break;
        case ControlKind::Button:
            make(std::make_unique<Win32Button>(context, layoutRow, place));
            break;
        case ControlKind::Edit:
            make(std::make_unique<Win32Edit>(context, layoutRow, place));
            break;
        case ControlKind::List:
            make(std::make_unique<Win32List>(context, layoutRow, place));
            break;
        case ControlKind::ScrollBar:
            make(std::make_unique<Win32ScrollBar>(context, layoutRow, place));
            break;
        case ControlKind::UpDown:
            make(std::make_unique<Win32UpDown>(context, layoutRow, place,
                                               HandleOf(SpinnerBuddy(layoutRow.id))));
            break;
        case ControlKind::Tabs: {
            std::vector<const ControlRow*> pages;
            for (const ControlRow& row : layout)
                if (row.kind == ControlKind::Page && row.parent == layoutRow.id)
                    pages.push_back(&row);
            auto tabs = std::make_unique<Win32Tabs>(context, layoutRow, place, pages);
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

void Win32Window::TeachKeyboard() {
    std::vector<HWND> order;
    for (ControlId id : TabOrder())
        if (HWND control = HandleOf(id))
            order.push_back(control);
    std::vector<std::pair<wchar_t, HWND>> letters;
    Win32Tabs* tabs = nullptr;
    for (const ControlRow& layoutRow : MainWindowLayout()) {
        if (layoutRow.kind == ControlKind::Tabs)
            tabs = &Find<Win32Tabs>(layoutRow.id);
        if (layoutRow.kind == ControlKind::Button && layoutRow.mnemonic != 0)
            if (HWND button = HandleOf(layoutRow.id))
                letters.emplace_back(static_cast<wchar_t>(std::tolower(
                                         static_cast<unsigned char>(layoutRow.mnemonic))),
                                     button);
    }
    std::function<void(int)> turnPage;
    if (tabs != nullptr)
        turnPage = [this, tabs](int step) { Contained(handle_, [&] { tabs->TurnPage(step); }); };
    keyboard_.Learn(handle_, std::move(order), std::move(letters), std::move(turnPage));
}

ITimer& Win32Window::Timer(ControlId id) {
    return *timers_.at(id);
}

void Win32Window::Show() {
    ReportShow();
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
    keyboard_.MoveFocus(nullptr, false);
}

int Win32Window::Run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        waitInput_.Note(message);
        if (!(handle_ && keyboard_.Handle(message))) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // A handler that waited is over: a release that completes a press made before it.
        waitInput_.HandOnKeptReleases();
    }
    return static_cast<int>(message.wParam);
}

HWND Win32Window::HandleOf(ControlId id) const {
    const auto found = controls_.find(id);
    const auto* child =
        found == controls_.end() ? nullptr : dynamic_cast<const Win32Child*>(found->second.get());
    return child != nullptr ? child->Handle() : nullptr;
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
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR: {
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

void Win32Window::BeginBusyCursor() {
    if (busy_++ == 0)
        SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void Win32Window::EndBusyCursor() {
    if (busy_ > 0 && --busy_ == 0) {
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        // Several waits never look at the queue (a pause, a write, an opening): what the user
        // did during them is dropped now that the outermost one is over.
        waitInput_.Drop(handle_);
    }
}

void Win32Window::ProcessPendingEvents() {
    // A tap on a button while the cutter is busy must not run that button once the wait is
    // over, as in the Qt window; the timers tick after the wait, as after a plain sleep.
    waitInput_.Drop(handle_);
    DispatchPendingExceptInputAndTicks();
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
            keyboard_.MoveFocus(nullptr, false);
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
