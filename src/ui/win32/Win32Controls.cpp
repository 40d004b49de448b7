#include "ui/win32/Win32Controls.h"

#include "ui/win32/WideText.h"
#include "ui/win32/Win32Window.h"

#include <algorithm>

namespace zopra::win32 {

namespace {

// Runs a change the program makes, with the control's reports of it ignored.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : FFlag(flag), FBefore(std::exchange(flag, true)) {}
    ~ProgramChange() { FFlag = FBefore; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    bool& FFlag;
    bool FBefore;
};

const wchar_t kPageClass[] = L"ZopraTabPage";

// A tab page hands its controls' reports to the window, like the window's own controls.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(page, GWLP_USERDATA));
    LRESULT result = 0;
    if (window && window->Route(message, wParam, lParam, result))
        return result;
    return DefWindowProcW(page, message, wParam, lParam);
}

void RegisterPageClass() {
    WNDCLASSEXW pageClass{};
    pageClass.cbSize = sizeof pageClass;
    pageClass.lpfnWndProc = PageProc;
    pageClass.hInstance = GetModuleHandleW(nullptr);
    pageClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    pageClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    pageClass.lpszClassName = kPageClass;
    // A second registration fails harmlessly with ERROR_CLASS_ALREADY_EXISTS.
    RegisterClassExW(&pageClass);
}

std::string Owned(std::string_view text) {
    return std::string(text);
}

} // namespace

HWND CreateChild(Win32Window& window, const Placement& place, const wchar_t* windowClass,
                 DWORD style, DWORD extendedStyle, const std::string& text) {
    const Bounds& b = place.bounds;
    HWND handle = CreateWindowExW(
        extendedStyle, windowClass, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
        window.Scale(b.left), window.Scale(b.top), window.Scale(b.width), window.Scale(b.height),
        place.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)),
        GetModuleHandleW(nullptr), &window);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(window.Font()), FALSE);
    return handle;
}

std::string WindowText(HWND handle) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    const int length = GetWindowTextW(handle, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return Narrow(text);
}

Win32Label::Win32Label(Win32Window& window, const ControlSpec& spec, const Placement& place,
                       COLORREF background)
    : Win32Control(window, place, L"STATIC", SS_LEFT | SS_NOPREFIX, 0, Owned(spec.caption)),
      FColour(background), FBrush(CreateSolidBrush(background)) {
    FitToText();
}

void Win32Label::SetText(const std::string& text) {
    SetWindowTextW(FHandle, Widen(text).c_str());
    FitToText();
}

HBRUSH Win32Label::Background(HDC context) {
    SetBkColor(context, FColour);
    return FBrush.get();
}

void Win32Label::FitToText() {
    const std::wstring text = Widen(Text());
    HDC context = GetDC(FHandle);
    const HGDIOBJ before = SelectObject(context, FWindow.Font());
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    SIZE size{0, metrics.tmHeight};
    if (!text.empty())
        GetTextExtentPoint32W(context, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(context, before);
    ReleaseDC(FHandle, context);
    SetWindowPos(FHandle, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(FHandle, nullptr, TRUE);
}

Win32Button::Win32Button(Win32Window& window, const ControlSpec& spec, const Placement& place)
    : Win32Control(window, place, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, Owned(spec.caption)) {}

void Win32Button::Command(WORD code) {
    if (code == BN_CLICKED)
        ReportClick();
}

Win32Edit::Win32Edit(Win32Window& window, const ControlSpec& spec, const Placement& place)
    : Win32Control(window, place, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
                   spec.border ? WS_EX_CLIENTEDGE : 0, Owned(spec.caption)) {}

void Win32Edit::SetText(const std::string& text) {
    SetWindowTextW(FHandle, Widen(text).c_str());
}

namespace {

// The design gives a list its closed height; Win32 takes the height with the list open.
constexpr int kOpenListHeight = 160;
// The closed list's frame around its selection field.
constexpr int kListFrame = 6;

Placement OpenListPlacement(Placement place) {
    place.bounds.height += kOpenListHeight;
    return place;
}

} // namespace

Win32List::Win32List(Win32Window& window, const ControlSpec& spec, const Placement& place)
    : Win32Control(window, OpenListPlacement(place), L"COMBOBOX",
                   CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0, "") {
    SendMessageW(FHandle, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 window.Scale(place.bounds.height) - kListFrame);
    // The design's lists are narrow: the edit's own margins would clip "Disable".
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (GetComboBoxInfo(FHandle, &parts))
        SendMessageW(parts.hwndItem, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                     MAKELPARAM(1, 0));
    for (std::string_view entry : spec.entries)
        AddEntry(Owned(entry));
    SetPosition(spec.position);
}

void Win32List::Clear() {
    const ProgramChange change(FProgramChange);
    SendMessageW(FHandle, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(FHandle, L"");
    FEntries.clear();
    FPosition = -1;
}

void Win32List::AddEntry(const std::string& entry) {
    const ProgramChange change(FProgramChange);
    SendMessageW(FHandle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    FEntries.push_back(entry);
}

std::string Win32List::Entry(int index) const {
    return FEntries.at(static_cast<std::size_t>(index));
}

void Win32List::SetPosition(int position) {
    const ProgramChange change(FProgramChange);
    if (position < 0 || position >= Count())
        position = -1;
    // CB_SETCURSEL shows the entry's text, or empties the text for -1.
    SendMessageW(FHandle, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    FPosition = position;
}

void Win32List::SetText(const std::string& text) {
    const ProgramChange change(FProgramChange);
    SetWindowTextW(FHandle, Widen(text).c_str());
}

void Win32List::Command(WORD code) {
    if (FProgramChange)
        return;
    switch (code) {
    case CBN_DROPDOWN:
        ReportDropDown();
        break;
    case CBN_SELCHANGE: {
        const auto chosen = static_cast<int>(SendMessageW(FHandle, CB_GETCURSEL, 0, 0));
        if (chosen < 0 || chosen >= Count())
            break;
        FPosition = chosen;
        // The edit still shows the text from before the choice until this report returns.
        SetText(FEntries[static_cast<std::size_t>(chosen)]);
        ReportChange();
        break;
    }
    case CBN_EDITCHANGE: {
        // CB_FINDSTRINGEXACT ignores case; an entry is chosen by its exact text only.
        const auto found = std::find(FEntries.begin(), FEntries.end(), Text());
        FPosition = found == FEntries.end() ? -1 : static_cast<int>(found - FEntries.begin());
        ReportChange();
        break;
    }
    default:
        break;
    }
}

Win32UpDown::Win32UpDown(Win32Window& window, const ControlSpec& spec, const Placement& place,
                         HWND buddy)
    : Win32Control(window, place, UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, ""),
      FMinimum(spec.minimum), FMaximum(std::max(spec.minimum, spec.maximum)) {
    if (buddy)
        SendMessageW(FHandle, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    SendMessageW(FHandle, UDM_SETRANGE32, static_cast<WPARAM>(FMinimum), FMaximum);
    UDACCEL step{0, static_cast<UINT>(spec.step)};
    SendMessageW(FHandle, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    SetPosition(spec.position);
}

int Win32UpDown::Position() const {
    return static_cast<int>(SendMessageW(FHandle, UDM_GETPOS32, 0, 0));
}

void Win32UpDown::SetPosition(int position) {
    SendMessageW(FHandle, UDM_SETPOS32, 0, std::clamp(position, FMinimum, FMaximum));
}

bool Win32UpDown::Notify(const NMHDR& header, LRESULT& result) {
    if (header.code != UDN_DELTAPOS)
        return false;
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    const int next = std::clamp(change.iPos + change.iDelta, FMinimum, FMaximum);
    FMoved = false;
    if (next == change.iPos) {
        result = TRUE; // at the limit: nothing moves, nothing is reported
        return true;
    }
    const bool up = next > change.iPos;
    FPressed = up ? UpDownButton::Up : UpDownButton::Down;
    FMoved = ReportChanging(next, up ? UpDownDirection::Up : UpDownDirection::Down);
    result = FMoved ? FALSE : TRUE;
    return true;
}

void Win32UpDown::Scroll(WORD request) {
    // The control reports the position it took after each step it was allowed.
    if (request == SB_THUMBPOSITION && std::exchange(FMoved, false))
        ReportClick(FPressed);
}

Win32ScrollBar::Win32ScrollBar(Win32Window& window, const ControlSpec& spec, const Placement& place)
    : Win32Control(window, place, L"SCROLLBAR", SBS_HORZ, 0, ""), FMinimum(spec.minimum),
      FMaximum(std::max(spec.minimum, spec.maximum)), FStep(spec.step), FLargeStep(spec.largeStep) {
    SetMaximum(FMaximum);
    SetPosition(spec.position);
}

void Win32ScrollBar::SetMaximum(int maximum) {
    const int position = Position();
    FMaximum = std::max(FMinimum, maximum);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    info.nMin = FMinimum;
    info.nMax = FMaximum;
    SetScrollInfo(FHandle, SB_CTL, &info, TRUE);
    SetPosition(position);
}

int Win32ScrollBar::Position() const {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(FHandle, SB_CTL, &info);
    return info.nPos;
}

void Win32ScrollBar::SetPosition(int position) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = std::clamp(position, FMinimum, FMaximum);
    SetScrollInfo(FHandle, SB_CTL, &info, TRUE);
}

void Win32ScrollBar::Scroll(WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(FHandle, SB_CTL, &info);
    int position = info.nPos;
    switch (request) {
    case SB_LINELEFT:
        position -= FStep;
        break;
    case SB_LINERIGHT:
        position += FStep;
        break;
    case SB_PAGELEFT:
        position -= FLargeStep;
        break;
    case SB_PAGERIGHT:
        position += FLargeStep;
        break;
    case SB_LEFT:
        position = FMinimum;
        break;
    case SB_RIGHT:
        position = FMaximum;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        position = info.nTrackPos;
        break;
    default:
        return; // SB_ENDSCROLL
    }
    // Win32 leaves moving the bar to its owner.
    SetPosition(position);
    if (Position() != info.nPos)
        ReportChange();
}

Win32Tabs::Win32Tabs(Win32Window& window, const ControlSpec& /*spec*/, const Placement& place,
                     const std::vector<const ControlSpec*>& pages)
    : Win32Control(window, place, WC_TABCONTROLW, WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, 0,
                   "") {
    RegisterPageClass();
    for (const ControlSpec* page : pages) {
        std::wstring caption = Widen(page->caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(FHandle, TCM_INSERTITEMW, static_cast<WPARAM>(TabCtrl_GetItemCount(FHandle)),
                     reinterpret_cast<LPARAM>(&item));
    }
    // The pages fill the display area, which is known once the tabs are in.
    RECT area{};
    GetClientRect(FHandle, &area);
    TabCtrl_AdjustRect(FHandle, FALSE, &area);
    for (const ControlSpec* page : pages) {
        HWND pageWindow =
            CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, Widen(page->caption).c_str(),
                            WS_CHILD | WS_CLIPSIBLINGS, area.left, area.top, area.right - area.left,
                            area.bottom - area.top, FHandle,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(page->id)),
                            GetModuleHandleW(nullptr), &window);
        FPages.emplace_back(page->id, pageWindow);
    }
    // Adding the first tab selected it.
    ShowCurrentPage();
}

HWND Win32Tabs::PageWindow(ControlId page) const {
    for (const auto& [id, window] : FPages)
        if (id == page)
            return window;
    return nullptr;
}

int Win32Tabs::Page() const {
    return TabCtrl_GetCurSel(FHandle);
}

void Win32Tabs::SetPage(int page) {
    TabCtrl_SetCurSel(FHandle, page);
    ShowCurrentPage();
}

void Win32Tabs::ShowCurrentPage() {
    const int current = Page();
    for (int index = 0; index < static_cast<int>(FPages.size()); ++index)
        ShowWindow(FPages[static_cast<std::size_t>(index)].second,
                   index == current ? SW_SHOWNA : SW_HIDE);
}

bool Win32Tabs::Notify(const NMHDR& header, LRESULT& result) {
    if (header.code != TCN_SELCHANGE)
        return false;
    ShowCurrentPage();
    ReportChange();
    result = 0;
    return true;
}

} // namespace zopra::win32
