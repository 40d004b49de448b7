// The Win32 window in the test's own process under Wine, with no form behind it: its
// captions' colours under a dark scheme, its places after a change to 144 dpi, the input and
// the timer ticks a wait holds, the page keys and the focus around a disabled button.
#include "ui/win32/Win32Window.h"
#include "form/Layout.h"
#include "ui/win32/WideText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

using zopra::ControlId;
using zopra::ControlKind;
using zopra::ControlRow;
using zopra::MainWindowLayout;
using zopra::win32::Win32Window;

BOOL CALLBACK Match(HWND child, LPARAM data) {
    auto* search = reinterpret_cast<std::pair<int, HWND>*>(data);
    if (GetDlgCtrlID(child) != search->first)
        return TRUE;
    search->second = child;
    return FALSE;
}
// A control's window on the window or a page; null for a field without one.
HWND HandleOf(const Win32Window& window, const ControlRow& row) {
    std::pair<int, HWND> search{zopra::win32::kFirstControlId + static_cast<int>(row.id), nullptr};
    EnumChildWindows(window.Handle(), Match, reinterpret_cast<LPARAM>(&search));
    return search.second;
}

TEST(Win32WindowLook, EveryCaptionIsReadableUnderADarkScheme) {
    const COLORREF white = RGB(255, 255, 255), black = RGB(0, 0, 0);
    const int elements[] = {COLOR_BTNFACE, COLOR_BTNTEXT};
    const COLORREF dark[] = {black, white};
    const COLORREF before[] = {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNTEXT)};
    SetSysColors(2, elements, dark);
    Win32Window window;
    const unsigned rgb = zopra::MainWindowFrame().headingRgb;
    HDC context = CreateCompatibleDC(nullptr);
    for (const ControlRow& row : MainWindowLayout()) {
        HWND label = HandleOf(window, row);
        if (label == nullptr ||
            (row.kind != ControlKind::Label && row.kind != ControlKind::Heading))
            continue;
        SetTextColor(context, black);
        SetBkColor(context, white);
        LRESULT brush = 0;
        EXPECT_TRUE(window.Route(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(context),
                                 reinterpret_cast<LPARAM>(label), brush) &&
                    brush != 0)
            << row.name;
        // Wine never reports high contrast on: a heading keeps its colour, with black text.
        if (row.kind == ControlKind::Heading) {
            EXPECT_EQ(GetTextColor(context), black) << row.name;
            EXPECT_EQ(GetBkColor(context), RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF));
        } else if (row.parent != zopra::ControlId::Window && IsAppThemed()) {
            // Wine's visual style (on in its prefixes) keeps its tab body white under a dark
            // scheme: a page's caption stands on the body in the style's text colour.
            EXPECT_EQ(GetBkMode(context), TRANSPARENT) << row.name;
            EXPECT_NE(GetTextColor(context), white) << row.name;
        } else {
            EXPECT_EQ(GetTextColor(context), white) << row.name;
            EXPECT_EQ(GetBkColor(context), black) << row.name;
        }
    }
    DeleteDC(context);
    SetSysColors(2, elements, before);
}

TEST(Win32WindowLook, At144DpiEveryControlIsScaledAndNoCaptionIsCut) {
    Win32Window window;
    const zopra::WindowFrame& look = zopra::MainWindowFrame();
    const auto scaled = [](int pixels) { return MulDiv(pixels, 144, 96); };
    RECT suggested{0, 0, scaled(look.clientWidth), scaled(look.clientHeight)};
    AdjustWindowRectEx(&suggested, WS_CAPTION | WS_SYSMENU, FALSE, 0);
    SendMessageW(window.Handle(), 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, scaled(look.clientWidth));

    HDC context = GetDC(window.Handle());
    const HGDIOBJ before = SelectObject(context, window.Look().Font());
    TEXTMETRICW font{};
    GetTextMetricsW(context, &font);
    EXPECT_GE(font.tmHeight, scaled(look.fontPixelSize));
    for (const ControlRow& row : MainWindowLayout()) {
        HWND control = HandleOf(window, row);
        if (control == nullptr)
            continue;
        RECT at{}, parent{};
        GetWindowRect(control, &at);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&at), 2);
        GetClientRect(GetParent(control), &parent);
        EXPECT_EQ(at.left, scaled(row.bounds.left)) << row.name;
        EXPECT_EQ(at.top, scaled(row.bounds.top)) << row.name;
        EXPECT_LE(at.right, parent.right) << row.name << " runs out of its parent";
        const std::wstring text = zopra::win32::Widen(std::string(row.caption));
        SIZE extent{};
        GetTextExtentPoint32W(context, text.data(), static_cast<int>(text.size()), &extent);
        const bool button = row.kind == ControlKind::Button;
        const bool caption = row.kind == ControlKind::Label || row.kind == ControlKind::Heading;
        EXPECT_FALSE(button &&
                     (extent.cx + 4 > at.right - at.left || extent.cy + 4 > at.bottom - at.top))
            << row.name << " cuts its caption";
        EXPECT_FALSE(caption && at.bottom - at.top < font.tmHeight) << row.name << " is cut";
    }
    SelectObject(context, before);
    ReleaseDC(window.Handle(), context);
}

// The input and closes that reach the window's own procedure.
WNDPROC WindowProcedure = nullptr;
std::vector<UINT> Reached;
LRESULT CALLBACK Counting(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE || message == 0x00FF || message == 0x0119 ||
        (message >= 0x0240 && message <= 0x024F) ||
        (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
        (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK)) {
        Reached.push_back(message);
        return 0;
    }
    return CallWindowProcW(WindowProcedure, window, message, wParam, lParam);
}

void Pump() {
    MSG message;
    for (int left = 1000; left > 0 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); --left) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

TEST(Win32WindowWait, NothingTheUserDidDuringAWaitRunsAfterIt) {
    Win32Window window;
    ShowWindow(window.Handle(), SW_SHOWNA);
    WindowProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Counting)));
    HWND tabs = nullptr;
    for (const ControlRow& row : MainWindowLayout())
        if (row.kind == ControlKind::Tabs)
            tabs = HandleOf(window, row);
    RECT second{};
    ASSERT_TRUE(TabCtrl_GetItemRect(tabs, 1, &second));
    const LPARAM onSecond = MAKELPARAM(second.left + 5, second.top + 5);
    // Keys, raw input, a gesture, touch, pen down and up, a click on the frame.
    const UINT input[] = {WM_KEYDOWN, WM_CHAR, 0x00FF, 0x0119,
                          0x0240,     0x0246,  0x0247, WM_NCLBUTTONUP};
    const auto clickSecondPage = [&] {
        PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, onSecond);
        PostMessageW(tabs, WM_LBUTTONUP, 0, onSecond);
    };

    // A reply wait looks at the queue: only the close box is heard.
    window.BeginBusyCursor();
    for (UINT message : input)
        PostMessageW(window.Handle(), message, 0, 0);
    PostMessageW(window.Handle(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
    window.ProcessPendingEvents();
    EXPECT_EQ(Reached, std::vector<UINT>{WM_CLOSE});
    // A pause, a write or an opening does not look at the queue: it is dropped at the end.
    Reached.clear();
    for (UINT message : input)
        PostMessageW(window.Handle(), message, 0, 0);
    clickSecondPage();
    window.EndBusyCursor();
    Pump();
    EXPECT_TRUE(Reached.empty()) << Reached.size() << " inputs ran after the wait";
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0) << "the click during the wait ran after it";
    // Without a wait the same click turns the page, or the check above proved nothing.
    clickSecondPage();
    Pump();
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 1);
    SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WindowProcedure));
}

// A reply wait dispatches what is pending, but a timer that comes due meanwhile ticks only
// after the wait, from the event loop: its handler never runs inside another's.
TEST(Win32WindowWait, ATickDueDuringAWaitComesAfterIt) {
    Win32Window window;
    int ticks = 0;
    zopra::ITimer& timer = window.Timer(ControlId::Timer1);
    timer.OnTick([&] { ++ticks; });
    window.BeginBusyCursor();
    timer.Start();
    const auto due = [] { return (HIWORD(GetQueueStatus(QS_TIMER)) & QS_TIMER) != 0; };
    for (int left = 500; left > 0 && !due(); --left)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(due()) << "the timer never came due";
    window.ProcessPendingEvents();
    EXPECT_EQ(ticks, 0) << "the tick ran inside the wait";
    window.EndBusyCursor();
    Pump();
    EXPECT_EQ(ticks, 1) << "the tick held during the wait was lost";
}

// Runs the window's own loop over what is queued now, with Ctrl (and Shift) held as given.
void RunLoopWithKeys(Win32Window& window, bool control, bool shift) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = control ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostQuitMessage(0);
    window.Run();
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

TEST(Win32WindowKeys, CtrlTabAndCtrlPageKeysTurnThePageRoundTheEnds) {
    Win32Window window;
    window.Show();
    HWND tabs = nullptr, force = nullptr;
    for (const ControlRow& row : MainWindowLayout()) {
        if (row.kind == ControlKind::Tabs)
            tabs = HandleOf(window, row);
        if (row.id == ControlId::SBForce)
            force = HandleOf(window, row);
    }
    ASSERT_NE(force, nullptr);
    const int pages = TabCtrl_GetItemCount(tabs);
    ASSERT_GE(pages, 2);
    int reported = 0;
    window.Tabs(ControlId::TSSetting).OnChange([&] { ++reported; });
    const struct {
        WPARAM key;
        bool shift;
        int page; // after the key
    } cases[] = {
        {VK_TAB, false, 1},           {VK_TAB, true, 0}, {VK_NEXT, false, 1}, {VK_PRIOR, false, 0},
        {VK_PRIOR, false, pages - 1}, // round the first
        {VK_NEXT, false, 0},          // and the last
    };
    int expectedReports = 0;
    for (const auto& key : cases) {
        // From a control on the page shown: the force bar on the first, else the tab row.
        HWND from = TabCtrl_GetCurSel(tabs) == 0 ? force : tabs;
        SetFocus(from);
        PostMessageW(from, WM_KEYDOWN, key.key, 0);
        RunLoopWithKeys(window, true, key.shift);
        EXPECT_EQ(TabCtrl_GetCurSel(tabs), key.page) << "key " << key.key;
        EXPECT_EQ(reported, ++expectedReports) << "the page turned unreported";
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus != nullptr && IsWindowVisible(focus)) << "the focus was left hidden";
    }
    // Without Ctrl, Page Down is the force bar's own key.
    SetFocus(force);
    window.Tabs(ControlId::TSSetting).SetPage(0);
    PostMessageW(force, WM_KEYDOWN, VK_NEXT, 0);
    RunLoopWithKeys(window, false, false);
    EXPECT_EQ(TabCtrl_GetCurSel(tabs), 0);
}

// A command series disables its buttons one after the other and enables them again: the focus
// comes back to the button pressed, unless the user moved it meanwhile.
TEST(Win32WindowKeys, TheFocusComesBackToTheButtonPressedAfterASeries) {
    Win32Window window;
    window.Show();
    const ControlId series[] = {ControlId::BuUpdate, ControlId::BuQuery};
    HWND pressed = nullptr, elsewhere = nullptr;
    for (const ControlRow& row : MainWindowLayout()) {
        if (row.id == series[0])
            pressed = HandleOf(window, row);
        if (row.id == ControlId::CBConnects)
            elsewhere = HandleOf(window, row);
    }
    ASSERT_TRUE(pressed != nullptr && elsewhere != nullptr);
    for (ControlId id : series)
        window.Button(id).SetEnabled(true);
    for (const bool userMovedIt : {false, true}) {
        SetFocus(pressed);
        for (ControlId id : series)
            window.Button(id).SetEnabled(false);
        EXPECT_NE(GetFocus(), pressed);
        if (userMovedIt)
            SetFocus(elsewhere);
        for (ControlId id : series)
            window.Button(id).SetEnabled(true);
        const HWND focus = GetFocus();
        if (userMovedIt)
            EXPECT_TRUE(focus == elsewhere || IsChild(elsewhere, focus))
                << "the user's move was undone";
        else
            EXPECT_EQ(focus, pressed) << "Enter would press another button";
    }
}

} // namespace
