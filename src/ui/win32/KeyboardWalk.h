#pragma once
// The keyboard in the window, as in a dialog, without the dialog manager: Tab and Shift+Tab
// walk the layout's Tab order (hidden and disabled controls left out), Enter presses the
// focused button, Alt with a button's letter presses it, and Ctrl+Tab, Ctrl+Shift+Tab,
// Ctrl+PageDown and Ctrl+PageUp turn the page. The focus also leaves a control that is being
// disabled, and comes back to it once it is enabled again, unless the user moved it meanwhile:
// after a command series the button that started it has the focus again, and a second Enter
// presses that button, not the next.
//
// No key goes to the dialog manager (IsDialogMessage): its walk from a control on a page
// would pass the tab control, which is no control parent, and can loop for ever there.
#include <windows.h>

#include <functional>
#include <utility>
#include <vector>

namespace zopra::win32 {

class KeyboardWalk {
public:
    // What the walk needs of the window once its controls are made: the window, its controls
    // in Tab order, the buttons by their Alt-letters (lower case, in the layout's order), and
    // how to turn the page (+1 next, -1 previous) as the user would.
    void Learn(HWND window, std::vector<HWND> order, std::vector<std::pair<wchar_t, HWND>> letters,
               std::function<void(int)> turnPage);

    // True when the message was one of the keys above and has been answered.
    bool Handle(const MSG& message);
    // Moves the focus from `from` (null: from the start) to the next control that takes it,
    // or back.
    void MoveFocus(HWND from, bool backwards);

    // Before `control` is disabled: a focus it holds goes on to the next control, so that
    // the keyboard still reaches the window.
    void LeaveBeforeDisabling(HWND control);
    // After `control` was enabled: the focus comes back if it left for that reason alone.
    void ReturnAfterEnabling(HWND control);

private:
    bool PressButtonWithLetter(WPARAM character);
    bool TurnPage(const MSG& message);
    bool Ours(HWND control) const;

    HWND window_ = nullptr;
    std::vector<HWND> order_;
    std::vector<std::pair<wchar_t, HWND>> letters_;
    std::function<void(int)> turnPage_;
    // The control the focus left when it was disabled, and where the focus went.
    HWND returnTo_ = nullptr;
    HWND movedTo_ = nullptr;
};

} // namespace zopra::win32
