// The Win32 window in the test's own process under Wine, with no form behind it: the colours
// its captions take under a dark scheme, its places after a change to 144 dpi, and the input
// a wait drops.
#include "ui/win32/Win32Window.h"
#include "form/Layout.h"
#include "ui/win32/WideText.h"
#include "ui/win32/Win32Controls.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <string>
#include <vector>

namespace {

using zopra::ControlId;
using zopra::ControlKind;
using zopra::ControlRow;
using zopra::MainWindowLayout;
using zopra::win32::Win32Child;
using zopra::win32::Win32Window;

// The control's window, or null for a field without one (right of the client area).
HWND HandleOf(zopra::IFormWindow& window, const ControlRow& row) {
    auto* child = [&]() -> Win32Child* {
        switch (row.kind) {
        case ControlKind::Label:
        case ControlKind::Heading:
            return dynamic_cast<Win32Child*>(&window.Label(row.id));
        case ControlKind::Button:
            return dynamic_cast<Win32Child*>(&window.Button(row.id));
        case ControlKind::Edit:
            return dynamic_cast<Win32Child*>(&window.Edit(row.id));
        case ControlKind::Tabs:
            return dynamic_cast<Win32Child*>(&window.Tabs(row.id));
        default:
            return nullptr;
        }
    }();
    return child != nullptr ? child->Handle() : nullptr;
}

// System colours set for the session while it lives, then put back.
class SchemeColours {
public:
    SchemeColours(std::vector<int> elements, std::vector<COLORREF> colours)
        : elements_(std::move(elements)) {
        for (int element : elements_)
            before_.push_back(GetSysColor(element));
        SetSysColors(static_cast<int>(elements_.size()), elements_.data(), colours.data());
    }
    ~SchemeColours() {
        SetSysColors(static_cast<int>(elements_.size()), elements_.data(), before_.data());
    }
    SchemeColours(const SchemeColours&) = delete;
    SchemeColours& operator=(const SchemeColours&) = delete;

private:
    std::vector<int> elements_;
    std::vector<COLORREF> before_;
};

TEST(Win32WindowLook, EveryCaptionIsReadableUnderADarkScheme) {
    const COLORREF white = RGB(255, 255, 255);
    const COLORREF black = RGB(0, 0, 0);
    const SchemeColours dark({COLOR_BTNFACE, COLOR_BTNTEXT}, {black, white});
    Win32Window window;
    const unsigned rgb = zopra::MainWindowFrame().headingRgb;
    const COLORREF heading = RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);

    HDC context = CreateCompatibleDC(nullptr);
    int captions = 0;
    for (const ControlRow& row : MainWindowLayout()) {
        if (row.kind != ControlKind::Label && row.kind != ControlKind::Heading)
            continue;
        HWND label = HandleOf(window, row);
        if (label == nullptr)
            continue;
        ++captions;
        SetTextColor(context, black);
        SetBkColor(context, white);
        LRESULT brush = 0;
        ASSERT_TRUE(window.Route(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                                 reinterpret_cast<LPARAM>(label), brush))
            << row.name;
        EXPECT_NE(brush, 0) << row.name;
        // Wine has no high-contrast flag (SPI_GETHIGHCONTRAST is always off): a heading keeps
        // its colour, with black text on it.
        if (row.kind == ControlKind::Heading) {
            EXPECT_EQ(GetTextColor(context), black) << row.name;
            EXPECT_EQ(GetBkColor(context), heading) << row.name;
        } else if (row.parent != ControlId::Window && IsAppThemed()) {
            // Wine's prefixes have its visual style on, whose tab body stays white under a
            // dark scheme: a page's caption is drawn over the body in the style's text colour.
            EXPECT_EQ(GetBkMode(context), TRANSPARENT) << row.name;
            EXPECT_NE(GetTextColor(context), white) << row.name;
        } else {
            EXPECT_EQ(GetTextColor(context), white) << row.name;
            EXPECT_EQ(GetBkColor(context), black) << row.name;
        }
    }
    DeleteDC(context);
    EXPECT_GT(captions, 20);
}

TEST(Win32WindowLook, At144DpiEveryControlIsScaledAndNoCaptionIsCut) {
    Win32Window window;
    const zopra::WindowFrame& look = zopra::MainWindowFrame();
    const auto scaled = [](int pixels) { return MulDiv(pixels, 144, 96); };
    RECT suggested{0, 0, scaled(look.clientWidth), scaled(look.clientHeight)};
    AdjustWindowRectEx(&suggested, static_cast<DWORD>(GetWindowLongW(window.Handle(), GWL_STYLE)),
                       FALSE, 0);
    OffsetRect(&suggested, 40 - suggested.left, 30 - suggested.top);
    SendMessageW(window.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));

    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, scaled(look.clientWidth));
    EXPECT_EQ(client.bottom, scaled(look.clientHeight));

    HDC context = GetDC(window.Handle());
    const HGDIOBJ before = SelectObject(context, window.Font());
    TEXTMETRICW metrics{};
    GetTextMetricsW(context, &metrics);
    // The font is 13 px at 96 dpi: 19 or 20 px at 144.
    EXPECT_GE(metrics.tmHeight, scaled(look.fontPixelSize));
    for (const ControlRow& row : MainWindowLayout()) {
        HWND control = HandleOf(window, row);
        if (control == nullptr)
            continue;
        RECT at{};
        GetWindowRect(control, &at);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&at), 2);
        RECT parent{};
        GetClientRect(GetParent(control), &parent);
        EXPECT_EQ(at.left, scaled(row.bounds.left)) << row.name;
        EXPECT_EQ(at.top, scaled(row.bounds.top)) << row.name;
        EXPECT_LE(at.right, parent.right) << row.name << " runs out of its parent";
        const std::wstring text = zopra::win32::Widen(std::string(row.caption));
        SIZE extent{};
        GetTextExtentPoint32W(context, text.data(), static_cast<int>(text.size()), &extent);
        if (row.kind == ControlKind::Button) {
            EXPECT_EQ(at.right - at.left, scaled(row.bounds.width)) << row.name;
            EXPECT_LE(extent.cx + 4, at.right - at.left) << row.name << " cuts its caption";
            EXPECT_LE(extent.cy + 4, at.bottom - at.top) << row.name << " cuts its caption";
        }
        if (row.kind == ControlKind::Label || row.kind == ControlKind::Heading) {
            EXPECT_GE(at.bottom - at.top, metrics.tmHeight) << row.name << " cuts its caption";
        }
    }
    SelectObject(context, before);
    ReleaseDC(window.Handle(), context);
}

// What reaches the window's own procedure: the input a wait let through, and the closes.
WNDPROC WindowProcedure = nullptr;
std::vector<UINT> Reached;
LRESULT CALLBACK Counting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
        message == 0x00FF || message == 0x0119 || (message >= 0x0240 && message <= 0x024F) ||
        (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK)) {
        Reached.push_back(message);
        return 0; // a close here would end the test's window
    }
    return CallWindowProcW(WindowProcedure, window, message, wParam, lParam);
}

TEST(Win32WindowWait, NothingTheUserDidDuringAWaitRunsAfterIt) {
    Win32Window window;
    ShowWindow(window.Handle(), SW_SHOWNA);
    WindowProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Counting)));
    Reached.clear();
    HWND tabs = nullptr;
    for (const ControlRow& row : MainWindowLayout())
        if (row.kind == ControlKind::Tabs)
            tabs = HandleOf(window, row);
    ASSERT_NE(tabs, nullptr);
    RECT second{};
    ASSERT_TRUE(TabCtrl_GetItemRect(tabs, 1, &second));
    const LPARAM onSecond =
        MAKELPARAM((second.left + second.right) / 2, (second.top + second.bottom) / 2);

    // A reply wait looks at the queue; a pause, a write or an opening does not.
    window.BeginBusyCursor();
    const UINT input[] = {WM_KEYDOWN,
                          WM_CHAR,
                          0x00FF /* raw input */,
                          0x0119 /* gesture */,
                          0x0240 /* touch */,
                          0x0246 /* pointer down */,
                          0x0247 /* pointer up */,
                          WM_NCLBUTTONUP};
    for (UINT message : input)
        PostMessageW(window.Handle(), message, 0, 0);
    PostMessageW(window.Handle(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
    window.ProcessPendingEvents();
    EXPECT_EQ(Reached, std::vector<UINT>{WM_CLOSE}) << "only the close box is heard";
    Reached.clear();
    for (UINT message : input)
        PostMessageW(window.Handle(), message, 0, 0);
    PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
    PostMessageW(tabs, WM_LBUTTONUP, 0, onSecond);
    window.EndBusyCursor();

    MSG message;
    for (int left = 1000; left > 0 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); --left) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    EXPECT_TRUE(Reached.empty()) << Reached.size() << " inputs ran after the wait";
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0) << "the click on the second page ran after the wait";

    // Without a wait the same click is taken, or the check above proved nothing.
    PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
    PostMessageW(tabs, WM_LBUTTONUP, 0, onSecond);
    for (int left = 1000; left > 0 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); --left)
        DispatchMessageW(&message);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);
    SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProcedure));
}

} // namespace
