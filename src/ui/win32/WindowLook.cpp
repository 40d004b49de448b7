#include "ui/win32/WindowLook.h"

#include "form/Layout.h"
#include "ui/win32/WideText.h"

#include <uxtheme.h>
#include <vssym32.h>

#include <cstdlib>

namespace zopra::win32 {

namespace {

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int Brightness(COLORREF colour) {
    return 299 * GetRValue(colour) + 587 * GetGValue(colour) + 114 * GetBValue(colour);
}

} // namespace

WindowLook::WindowLook() : dpi_(ScreenDpi()) {
    MakeFont();
}

int WindowLook::Scale(int designPixels) const {
    return MulDiv(designPixels, dpi_, 96);
}

OwnedFont WindowLook::ChangeDpi(int dpi) {
    dpi_ = dpi;
    OwnedFont old = std::move(font_);
    MakeFont();
    return old;
}

void WindowLook::MakeFont() {
    const WindowFrame& look = MainWindowFrame();
    // Pixels, not points: a character height, hence negative.
    font_.reset(
        CreateFontW(-Scale(look.fontPixelSize), 0, 0, 0, look.fontBold ? FW_BOLD : FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, Widen(look.fontFamily).c_str()));
}

int WindowDpi(HWND window) {
    using GetDpiForWindowCall = UINT(WINAPI*)(HWND);
    static const auto call = reinterpret_cast<GetDpiForWindowCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    return call != nullptr ? static_cast<int>(call(window)) : 0;
}

RECT FrameFor(int clientWidth, int clientHeight, int dpi, DWORD style) {
    RECT frame{0, 0, clientWidth, clientHeight};
    using AdjustForDpiCall = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto call = reinterpret_cast<AdjustForDpiCall>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi")));
    if (call == nullptr || !call(&frame, style, FALSE, 0, static_cast<UINT>(dpi)))
        AdjustWindowRectEx(&frame, style, FALSE, 0);
    return frame;
}

bool HighContrastOn() {
    HIGHCONTRASTW scheme{};
    scheme.cbSize = sizeof scheme;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof scheme, &scheme, 0) &&
           (scheme.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

bool TabBodyThemed() {
    return IsAppThemed() && !HighContrastOn();
}

// Text on the tab body stands out from the visual style's colours, not the scheme's (under
// Wine a dark scheme leaves the style's body white): every style draws the body light.
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

COLORREF HeadingColour() {
    const unsigned rgb = MainWindowFrame().headingRgb;
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// Wine's default scheme has a light grey link colour on a light grey face.
COLORREF LinkColour() {
    const COLORREF link = GetSysColor(COLOR_HOTLIGHT);
    return TellApart(link, GetSysColor(COLOR_BTNFACE), 80) ? link : GetSysColor(COLOR_BTNTEXT);
}

COLORREF BehindControl(HWND control) {
    const bool onPage = GetParent(control) != GetAncestor(control, GA_ROOT);
    return onPage && TabBodyThemed() ? RGB(255, 255, 255) : GetSysColor(COLOR_BTNFACE);
}

bool TellApart(COLORREF one, COLORREF other, int steps) {
    return std::abs(Brightness(one) - Brightness(other)) > steps * 1000;
}

} // namespace zopra::win32
