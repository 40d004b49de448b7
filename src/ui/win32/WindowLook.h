#pragma once
// How the window looks on this screen: its scale and font at the monitor's dpi, the frame
// around its client area, and the colours that stand out under the user's scheme and visual
// style. The window owns one look; its controls read it, and nothing here knows of them.
#include <windows.h>

#include <memory>
#include <type_traits>

namespace zopra::win32 {

struct FontDeleter {
    void operator()(HFONT font) const { DeleteObject(font); }
};
using OwnedFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct BrushDeleter {
    void operator()(HBRUSH brush) const { DeleteObject(brush); }
};
using OwnedBrush = std::unique_ptr<std::remove_pointer_t<HBRUSH>, BrushDeleter>;

class WindowLook {
public:
    // At the screen's dpi.
    WindowLook();

    int Dpi() const { return dpi_; }
    // Design pixels (96 dpi) to screen pixels.
    int Scale(int designPixels) const;
    HFONT Font() const { return font_.get(); }
    // A move to a monitor of another scale: the font at the new size. The old font is handed
    // back, to live until every control has the new one.
    [[nodiscard]] OwnedFont ChangeDpi(int dpi);

private:
    void MakeFont();
    int dpi_;
    OwnedFont font_;
};

// The window's dpi as Windows 10 (1607 and later) reports it for the monitor it is on; 0 where
// the call is missing (the screen's dpi then holds for every monitor).
int WindowDpi(HWND window);
// The frame of a window of `style` around a client area at a dpi: the frame's metrics follow
// the monitor's dpi.
RECT FrameFor(int clientWidth, int clientHeight, int dpi, DWORD style);

// A high-contrast scheme is on (SPI_GETHIGHCONTRAST).
bool HighContrastOn();
// The tab pages show the themed tab body: visual styles are on, high contrast is off.
bool TabBodyThemed();
// Text on the tab body: the visual style's text colour for the tabs, else black.
COLORREF TabBodyTextColour(HWND tabs);
// The headings' own light background.
COLORREF HeadingColour();
// The link colour, or the button text's where the link colour hardly stands out.
COLORREF LinkColour();
// What a control's background shows through: the themed tab body (light in every style) on
// a page, else the button face.
COLORREF BehindControl(HWND control);
// Two colours an eye tells apart (their brightness differs by more than `steps` of 255).
bool TellApart(COLORREF one, COLORREF other, int steps);

} // namespace zopra::win32
