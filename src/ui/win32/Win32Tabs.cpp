// The tab control and its pages.
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Controls.h"

#include <uxtheme.h>

namespace zopra::win32 {

namespace {

const wchar_t kPageClass[] = L"ZopraTabPage";

// A tab page passes its controls' reports up to the top-level window, which routes them to
// the controls as it does its own children's.
LRESULT CALLBACK PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        // With visual styles the tab control's body is lighter than the button face (Windows
        // 10 and 11): the page shows the body through.
        if (TabBodyThemed()) {
            DrawThemeParentBackground(page, reinterpret_cast<HDC>(wParam), nullptr);
            return 1;
        }
        break;
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
        return SendMessageW(GetAncestor(page, GA_ROOT), message, wParam, lParam);
    default:
        break;
    }
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

} // namespace

Win32Tabs::Win32Tabs(const ControlContext& context, const ControlRow& /*layoutRow*/,
                     const Placement& place, const std::vector<const ControlRow*>& pages)
    : Win32Control(context, place, WC_TABCONTROLW, WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_TABSTOP,
                   0, "") {
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
                            GetModuleHandleW(nullptr), nullptr);
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

void Win32Tabs::TurnPage(int step) {
    const auto count = static_cast<int>(pages_.size());
    if (count == 0)
        return;
    SetPage(((Page() + step) % count + count) % count);
    ReportChange();
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
