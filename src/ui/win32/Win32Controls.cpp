#include "ui/win32/Win32Controls.h"

#include "form/Layout.h"
#include "ui/win32/WideText.h"

#include <uxtheme.h>

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

std::string Owned(std::string_view text) {
    return std::string(text);
}

} // namespace

HWND CreateChild(const WindowLook& look, const Placement& place, const wchar_t* windowClass,
                 DWORD style, DWORD extendedStyle, const std::string& text) {
    const Bounds& b = place.bounds;
    HWND handle = CreateWindowExW(
        extendedStyle, windowClass, Widen(text).c_str(), WS_CHILD | WS_VISIBLE | style,
        look.Scale(b.left), look.Scale(b.top), look.Scale(b.width), look.Scale(b.height),
        place.parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(place.id)),
        GetModuleHandleW(nullptr), nullptr);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(look.Font()), FALSE);
    return handle;
}

void PlaceChild(const WindowLook& look, HWND handle, const Bounds& bounds) {
    SetWindowPos(handle, nullptr, look.Scale(bounds.left), look.Scale(bounds.top),
                 look.Scale(bounds.width), look.Scale(bounds.height),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(handle, WM_SETFONT, reinterpret_cast<WPARAM>(look.Font()), TRUE);
}

std::string WindowText(HWND handle) {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(handle)) + 1, L'\0');
    const int length = GetWindowTextW(handle, text.data(), static_cast<int>(text.size()));
    text.resize(static_cast<std::size_t>(std::max(length, 0)));
    return Narrow(text);
}

Win32Label::Win32Label(const ControlContext& context, const ControlRow& layoutRow,
                       const Placement& place)
    : Win32Control(context, place, L"STATIC",
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
    tooltip_ = CreateWindowExW(
        WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, GetAncestor(handle_, GA_ROOT),
        nullptr, GetModuleHandleW(nullptr), nullptr);
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
    if (parent != GetAncestor(handle_, GA_ROOT) && TabBodyThemed()) {
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
    const HGDIOBJ before = SelectObject(context, look_.Font());
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

Win32Button::Win32Button(const ControlContext& context, const ControlRow& layoutRow,
                         const Placement& place)
    : Win32Control(context, place, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0,
                   CaptionWithMnemonic(layoutRow)) {
    if (!layoutRow.link)
        return;
    LOGFONTW font{};
    GetObjectW(context.look.Font(), sizeof font, &font);
    font.lfUnderline = TRUE;
    linkFont_.reset(CreateFontIndirectW(&font));
}

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

// A field the layout draws without its sunken edge keeps a thin line round it: on a themed
// page the field is as white as the tab body, and without the line it reads as a caption.
Win32Edit::Win32Edit(const ControlContext& context, const ControlRow& layoutRow,
                     const Placement& place)
    : Win32Control(context, place, L"EDIT",
                   ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP | (layoutRow.border ? 0 : WS_BORDER),
                   layoutRow.border ? WS_EX_CLIENTEDGE : 0, Owned(layoutRow.caption)) {
    // The narrow fields (41 pixels for "500.0") keep their whole text inside the line.
    if (!layoutRow.border)
        SendMessageW(handle_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
}

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

Win32List::Win32List(const ControlContext& context, const ControlRow& layoutRow,
                     const Placement& place)
    : Win32Control(context, OpenListPlacement(place), L"COMBOBOX",
                   (layoutRow.editable ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST) |
                       WS_VSCROLL | WS_TABSTOP,
                   0, "") {
    SendMessageW(handle_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                 context.look.Scale(place.bounds.height) - kListFrame);
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
                 look_.Scale(bounds_.height - kOpenListHeight) - kListFrame);
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

Win32UpDown::Win32UpDown(const ControlContext& context, const ControlRow& layoutRow,
                         const Placement& place, HWND buddy)
    : Win32Control(context, place, UPDOWN_CLASSW, UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, ""),
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

Win32ScrollBar::Win32ScrollBar(const ControlContext& context, const ControlRow& layoutRow,
                               const Placement& place)
    : Win32Control(context, place, L"SCROLLBAR", SBS_HORZ | WS_TABSTOP, 0, ""),
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

HBRUSH Win32ScrollBar::Background(HDC /*context*/) {
    // The scheme's track colour, unless it vanishes into what is behind the bar: under a dark
    // scheme Wine draws the track white, on the white tab body. The shadow colour then.
    if (TellApart(GetSysColor(COLOR_SCROLLBAR), BehindControl(handle_), 24))
        return nullptr;
    return GetSysColorBrush(COLOR_BTNSHADOW);
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

} // namespace zopra::win32
