#include "ui/win32/Win32Controls.h"

#include "form/Layout.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Window.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <algorithm>
#include <cstdlib>

namespace zopra::win32 {

namespace {

// Runs a change the program makes, with the control's reports of it ignored.
class ProgramChange {
public:
    explicit ProgramChange(bool& flag) : flag_(flag), before_(std::exchange(flag, true)) {}
    ~ProgramChange() { flag_ = before_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;

private:
    bool& flag_;
    bool before_;
};

const wchar_t kPageClass[] = L"ZopraTabPage";

// A tab page hands its controls' reports to the window, like the window's own controls.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(page, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* window = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(page, GWLP_USERDATA));
    // With visual styles the tab control's body is lighter than the button face (Windows 10
    // and 11): the page shows the body through.
    if (message == WM_ERASEBKGND && TabBodyThemed()) {
        DrawThemeParentBackground(page, reinterpret_cast<HDC>(wParam), nullptr);
        return 1;
    }
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

void MoveFocusOnFrom(Win32Window& window, HWND control) {
    window.FocusAwayFrom(control);
}

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

void PlaceChild(Win32Window& window, HWND handle, const Bounds& bounds) {
    SetWindowPos(handle, nullptr, window.Scale(bounds.left), window.Scale(bounds.top),
                 window.Scale(bounds.width), window.Scale(bounds.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(window.Font()), TRUE);
}

// Text on the tab body stands out from the visual style's colours, not the scheme's (under
// Wine a dark scheme leaves the style's body white): the style's text colour for the tabs,
// else black, since every style draws the body light.
COLORREF TabBodyTextColour(HWND tabs) {
    COLORREF colour = RGB(0, 0, 0);
    if (HTHEME theme = OpenThemeData(tabs, L"TAB")) {
        COLORREF styled = 0;
        if (SUCCEEDED(GetThemeColor(theme, TABP_TABITEM, TIS_NORMAL, TMT_TEXTCOLOR, &styled)))
            colour = styled;
        CloseThemeData(theme);
    }
    return colour;
}

bool TabBodyThemed() {
    return IsAppThemed() && !HighContrastOn();
}

bool HighContrastOn() {
    HIGHCONTRASTW scheme{};
    scheme.cbSize = sizeof scheme;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof scheme, &scheme, 0) &&
           (scheme.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

std::string WindowText(HWND handle) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    const int length = GetWindowTextW(handle, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return Narrow(text);
}

namespace {

COLORREF HeadingColour() {
    const unsigned rgb = MainWindowFrame().headingRgb;
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

} // namespace

Win32Label::Win32Label(Win32Window& window, const ControlRow& layoutRow, const Placement& place)
    : Win32Control(window, place, L"STATIC",
                   SS_LEFT | SS_NOPREFIX |
                       (layoutRow.bounds.width > 0 ? SS_ENDELLIPSIS | SS_NOTIFY : 0),
                   0, Owned(layoutRow.caption)),
      fixedWidth_(layoutRow.bounds.width > 0) {
    if (layoutRow.kind == ControlKind::Heading)
        headingBrush_.reset(CreateSolidBrush(HeadingColour()));
    if (!fixedWidth_) {
        FitToText();
        return;
    }
    // The tooltip watches the label's own mouse messages (TTF_SUBCLASS; a static control
    // sees the mouse only with SS_NOTIFY).
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                               WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                               GetAncestor(handle_, GA_ROOT), nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = GetParent(handle_);
    tool.uId = reinterpret_cast<UINT_PTR>(handle_);
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    UpdateTooltip();
}

void Win32Label::SetText(const std::string& text) {
    SetWindowTextW(handle_, Widen(text).c_str());
    if (fixedWidth_)
        UpdateTooltip();
    else
        FitToText();
}

void Win32Label::UpdateTooltip() {
    if (tooltip_ == nullptr)
        return;
    tooltipText_ = Widen(Text());
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = GetParent(handle_);
    tool.uId = reinterpret_cast<UINT_PTR>(handle_);
    tool.lpszText = tooltipText_.data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    InvalidateRect(handle_, nullptr, TRUE);
}

HBRUSH Win32Label::Background(HDC context) {
    // The heading's colour is light: its text is black, whatever the scheme's text colour.
    if (headingBrush_ && !HighContrastOn()) {
        SetTextColor(context, RGB(0, 0, 0));
        SetBkColor(context, HeadingColour());
        return headingBrush_.get();
    }
    // On a page with visual styles: the tab body behind the text, drawn afresh each time, so
    // that a shorter text leaves nothing of the old one.
    const HWND parent = GetParent(handle_);
    if (parent != window_.Handle() && TabBodyThemed()) {
        SetTextColor(context, TabBodyTextColour(GetParent(parent)));
        SetBkMode(context, TRANSPARENT);
        DrawThemeParentBackground(handle_, context, nullptr);
        return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    }
    // The static control draws its text in black unless told: on a dark face it would vanish.
    // The system's brush follows a change of scheme by itself.
    SetTextColor(context, GetSysColor(COLOR_BTNTEXT));
    SetBkColor(context, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

void Win32Label::Rescale() {
    Win32Control::Rescale();
    if (!fixedWidth_)
        FitToText();
}

void Win32Label::FitToText() {
    const std::wstring text = Widen(Text());
    HDC context = GetDC(handle_);
    const HGDIOBJ before = SelectObject(context, window_.Font());
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    SIZE size{0, metrics.tmHeight};
    if (!text.empty())
        GetTextExtentPoint32W(context, text.data(), static_cast<int>(text.size()), &size);
    SelectObject(context, before);
    ReleaseDC(handle_, context);
    SetWindowPos(handle_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(handle_, nullptr, TRUE);
}

Win32Button::Win32Button(Win32Window& window, const ControlRow& layoutRow, const Placement& place)
    : Win32Control(window, place, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0,
                   CaptionWithMnemonic(layoutRow)) {
    if (!layoutRow.link)
        return;
    LOGFONTW font{};
    GetObjectW(window.Font(), sizeof font, &font);
    font.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectW(&font));
}

namespace {

// The link colour, unless it can hardly be told from the button face (Wine's default scheme
// has a light grey there): then the button's own text colour.
COLORREF LinkColour() {
    const auto brightness = [](COLORREF colour) {
        return 299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour);
    };
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
    const int contrast = brightness(link) - brightness(GetSysColor(COLOR_BTNFACE));
    return std::abs(contrast) >= 80000 ? link : GetSysColor(COLOR_BTNTEXT);
}

} // namespace

bool Win32Button::Notify(const NMHDR& header, LRESULT& result) {
    if (!linkFont_ || header.code != NM_CUSTOMDRAW)
        return false;
    const auto& draw = reinterpret_cast<const NMCUSTOMDRAW&>(header);
    if (draw.dwDrawStage != CDDS_PREPAINT) {
        result = CDRF_DODEFAULT;
        return true;
    }
    RECT area = draw.rc;
    FillRect(draw.hdc, &area, GetSysColorBrush(COLOR_BTNFACE));
    std::wstring caption(static_cast<std::size_t>(GetWindowTextLengthW(handle_)) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(
        GetWindowTextW(handle_, caption.data(), static_cast<int>(caption.size()))));
    const HGDIOBJ before = SelectObject(draw.hdc, linkFont_.get());
    SetBkMode(draw.hdc, TRANSPARENT);
    SetTextColor(draw.hdc, IsWindowEnabled(handle_) ? LinkColour() : GetSysColor(COLOR_GRAYTEXT));
    // The Alt-letter stays marked: "&" underlines it, as on the other buttons.
    DrawTextW(draw.hdc, caption.c_str(), static_cast<int>(caption.size()), &area,
              DT_RIGHT | DT_VCENTER | DT_SINGLELINE);
    if ((draw.uItemState & CDIS_FOCUS) != 0)
        DrawFocusRect(draw.hdc, &area);
    SelectObject(draw.hdc, before);
    result = CDRF_SKIPDEFAULT;
    return true;
}

void Win32Button::Command(WORD code) {
    if (code == BN_CLICKED)
        ReportClick();
}

Win32Edit::Win32Edit(Win32Window& window, const ControlRow& layoutRow, const Placement& place)
    : Win32Control(window, place, L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP,
                   layoutRow.border ? WS_EX_CLIENTEDGE : 0, Owned(layoutRow.caption)) {}

void Win32Edit::SetText(const std::string& text) {
    SetWindowTextW(handle_, Widen(text).c_str());
}

namespace {

// The design gives a list its closed height; Win32 takes the height with the list open.
constexpr int kOpenListHeight = 160;
constexpr COLORREF kMarkColour = RGB(0xff, 0xc8, 0xc8);

// The closed list's frame around its selection field.
constexpr int kListFrame = 6;

Placement OpenListPlacement(Placement place) {
    place.bounds.height += kOpenListHeight;
    return place;
}

} // namespace

Win32List::Win32List(Win32Window& window, const ControlRow& layoutRow, const Placement& place)
    : Win32Control(window, OpenListPlacement(place), L"COMBOBOX",
                   (layoutRow.editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST) |
                       WS_VSCROLL | WS_TABSTOP,
                   0, "") {
    SendMessageW(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 window.Scale(place.bounds.height) - kListFrame);
    // The design's lists are narrow: the edit's own margins would clip "Disable".
    COMBOBOXINFO parts{};
    parts.cbSize = sizeof parts;
    if (GetComboBoxInfo(handle_, &parts) && parts.hwndItem != nullptr)
        SendMessageW(parts.hwndItem, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                     MAKELPARAM(1, 0));
    for (std::string_view entry : layoutRow.entries)
        AddEntry(Owned(entry));
    SetPosition(layoutRow.position);
}

void Win32List::Clear() {
    const ProgramChange change(programChange_);
    SendMessageW(handle_, CB_RESETCONTENT, 0, 0);
    SetWindowTextW(handle_, L"");
    entries_.clear();
    position_ = -1;
}

void Win32List::AddEntry(const std::string& entry) {
    const ProgramChange change(programChange_);
    SendMessageW(handle_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(entry).c_str()));
    entries_.push_back(entry);
}

std::string Win32List::Entry(int index) const {
    return entries_.at(static_cast<std::size_t>(index));
}

void Win32List::SetPosition(int position) {
    const ProgramChange change(programChange_);
    if (position < 0 || position >= Count())
        position = -1;
    // CB_SETCURSEL shows the entry's text, or empties the text for -1.
    SendMessageW(handle_, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    position_ = position;
}

void Win32List::SetText(const std::string& text) {
    const ProgramChange change(programChange_);
    SetWindowTextW(handle_, Widen(text).c_str());
}

void FieldMark::Set(bool marked, HWND field) {
    if (marked && !brush_)
        brush_.reset(CreateSolidBrush(kMarkColour));
    else if (!marked)
        brush_.reset();
    InvalidateRect(field, nullptr, TRUE);
}

HBRUSH FieldMark::Background(HDC context) const {
    if (!brush_)
        return nullptr;
    // The pale field needs dark text under a scheme whose text is light.
    SetTextColor(context, RGB(0, 0, 0));
    SetBkColor(context, kMarkColour);
    return brush_.get();
}

void Win32List::SetMarked(bool marked) {
    mark_.Set(marked, handle_);
}

HBRUSH Win32List::Background(HDC context) {
    return mark_.Background(context);
}

void Win32List::Rescale() {
    Win32Control::Rescale(); // bounds_ is the open list's
    SendMessageW(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 window_.Scale(bounds_.height - kOpenListHeight) - kListFrame);
}

void Win32List::Command(WORD code) {
    if (programChange_)
        return;
    switch (code) {
    case CBN_DROPDOWN:
        ReportDropDown();
        break;
    case CBN_SELCHANGE: {
        const auto chosen = static_cast<int>(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
        if (chosen < 0 || chosen >= Count())
            break;
        position_ = chosen;
        // The edit still shows the text from before the choice until this report returns.
        SetText(entries_[static_cast<std::size_t>(chosen)]);
        ReportChange();
        break;
    }
    case CBN_EDITCHANGE: {
        // CB_FINDSTRINGEXACT ignores case; an entry is chosen by its exact text only.
        const auto found = std::find(entries_.begin(), entries_.end(), Text());
        position_ = found == entries_.end() ? -1 : static_cast<int>(found - entries_.begin());
        ReportChange();
        break;
    }
    default:
        break;
    }
}

Win32UpDown::Win32UpDown(Win32Window& window, const ControlRow& layoutRow, const Placement& place,
                         HWND buddy)
    : Win32Control(window, place, UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, ""),
      minimum_(layoutRow.minimum), maximum_(std::max(layoutRow.minimum, layoutRow.maximum)) {
    if (buddy)
        SendMessageW(handle_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(buddy), 0);
    SendMessageW(handle_, UDM_SETRANGE32, static_cast<WPARAM>(minimum_), maximum_);
    UDACCEL step{0, static_cast<UINT>(layoutRow.step)};
    SendMessageW(handle_, UDM_SETACCEL, 1, reinterpret_cast<LPARAM>(&step));
    SetPosition(layoutRow.position);
}

int Win32UpDown::Position() const {
    return static_cast<int>(SendMessageW(handle_, UDM_GETPOS32, 0, 0));
}

void Win32UpDown::SetPosition(int position) {
    SendMessageW(handle_, UDM_SETPOS32, 0, std::clamp(position, minimum_, maximum_));
}

bool Win32UpDown::Notify(const NMHDR& header, LRESULT& result) {
    if (header.code != UDN_DELTAPOS)
        return false;
    const auto& change = reinterpret_cast<const NMUPDOWN&>(header);
    const int next = std::clamp(change.iPos + change.iDelta, minimum_, maximum_);
    moved_ = false;
    if (next == change.iPos) {
        result = TRUE; // at the limit: nothing moves, nothing is reported
        return true;
    }
    const bool up = next > change.iPos;
    pressed_ = up ? UpDownButton::Up : UpDownButton::Down;
    moved_ = ReportChanging(next, up ? UpDownDirection::Up : UpDownDirection::Down);
    result = moved_ ? FALSE : TRUE;
    return true;
}

void Win32UpDown::Scroll(WORD request) {
    // The control reports the position it took after each step it was allowed.
    if (request == SB_THUMBPOSITION && std::exchange(moved_, false))
        ReportClick(pressed_);
}

Win32ScrollBar::Win32ScrollBar(Win32Window& window, const ControlRow& layoutRow,
                               const Placement& place)
    : Win32Control(window, place, L"SCROLLBAR", SBS_HORZ | WS_TABSTOP, 0, ""),
      minimum_(layoutRow.minimum), maximum_(std::max(layoutRow.minimum, layoutRow.maximum)),
      step_(layoutRow.step), largeStep_(layoutRow.largeStep) {
    SetMaximum(maximum_);
    SetPosition(layoutRow.position);
}

void Win32ScrollBar::SetMaximum(int maximum) {
    const int position = Position();
    maximum_ = std::max(minimum_, maximum);
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_RANGE;
    info.nMin = minimum_;
    info.nMax = maximum_;
    SetScrollInfo(handle_, SB_CTL, &info, TRUE);
    SetPosition(position);
}

int Win32ScrollBar::Position() const {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    GetScrollInfo(handle_, SB_CTL, &info);
    return info.nPos;
}

void Win32ScrollBar::SetPosition(int position) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS;
    info.nPos = std::clamp(position, minimum_, maximum_);
    SetScrollInfo(handle_, SB_CTL, &info, TRUE);
}

void Win32ScrollBar::Scroll(WORD request) {
    SCROLLINFO info{};
    info.cbSize = sizeof info;
    info.fMask = SIF_POS | SIF_TRACKPOS;
    GetScrollInfo(handle_, SB_CTL, &info);
    int position = info.nPos;
    switch (request) {
    case SB_LINELEFT:
        position -= step_;
        break;
    case SB_LINERIGHT:
        position += step_;
        break;
    case SB_PAGELEFT:
        position -= largeStep_;
        break;
    case SB_PAGERIGHT:
        position += largeStep_;
        break;
    case SB_LEFT:
        position = minimum_;
        break;
    case SB_RIGHT:
        position = maximum_;
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

FieldScrollBar::FieldScrollBar(const ControlRow& layoutRow)
    : minimum_(layoutRow.minimum), maximum_(std::max(layoutRow.minimum, layoutRow.maximum)),
      position_(std::clamp(layoutRow.position, minimum_, maximum_)) {}

void FieldScrollBar::SetMaximum(int maximum) {
    maximum_ = std::max(minimum_, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
}

void FieldScrollBar::SetPosition(int position) {
    position_ = std::clamp(position, minimum_, maximum_);
}

Win32Tabs::Win32Tabs(Win32Window& window, const ControlRow& /*layoutRow*/, const Placement& place,
                     const std::vector<const ControlRow*>& pages)
    : Win32Control(window, place, WC_TABCONTROLW, WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP, 0,
                   "") {
    RegisterPageClass();
    for (const ControlRow* page : pages) {
        std::wstring caption = Widen(page->caption);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(handle_, TCM_INSERTITEMW, static_cast<WPARAM>(TabCtrl_GetItemCount(handle_)),
                     reinterpret_cast<LPARAM>(&item));
    }
    for (const ControlRow* page : pages) {
        HWND pageWindow =
            CreateWindowExW(WS_EX_CONTROLPARENT, kPageClass, Widen(page->caption).c_str(),
                            WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, handle_,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(page->id)),
                            GetModuleHandleW(nullptr), &window);
        pages_.emplace_back(page->id, pageWindow);
    }
    PlacePages();
    // Adding the first tab selected it.
    ShowCurrentPage();
}

void Win32Tabs::PlacePages() {
    // The display area is known once the tabs are in, and changes with the font.
    RECT area{};
    GetClientRect(handle_, &area);
    TabCtrl_AdjustRect(handle_, FALSE, &area);
    for (const auto& [id, page] : pages_)
        SetWindowPos(page, nullptr, area.left, area.top, area.right - area.left,
                     area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32Tabs::Rescale() {
    Win32Control::Rescale();
    PlacePages();
}

HWND Win32Tabs::PageWindow(ControlId page) const {
    for (const auto& [id, window] : pages_)
        if (id == page)
            return window;
    return nullptr;
}

int Win32Tabs::Page() const {
    return TabCtrl_GetCurSel(handle_);
}

void Win32Tabs::SetPage(int page) {
    TabCtrl_SetCurSel(handle_, page);
    ShowCurrentPage();
}

void Win32Tabs::ShowCurrentPage() {
    const int current = Page();
    for (int index = 0; index < static_cast<int>(pages_.size()); ++index)
        ShowWindow(pages_[static_cast<std::size_t>(index)].second,
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
