#include "ui/win32/KeyboardWalk.h"

#include <algorithm>
#include <cwctype>

namespace zopra::win32 {

void KeyboardWalk::Learn(HWND window, std::vector<HWND> order,
                         std::vector<std::pair<wchar_t, HWND>> letters,
                         std::function<void(int)> turnPage) {
    window_ = window;
    order_ = std::move(order);
    letters_ = std::move(letters);
    turnPage_ = std::move(turnPage);
}

bool KeyboardWalk::Ours(HWND control) const {
    return std::find(order_.begin(), order_.end(), control) != order_.end();
}

bool KeyboardWalk::Handle(const MSG& message) {
    if (window_ == nullptr || (message.hwnd != window_ && !IsChild(window_, message.hwnd)))
        return false;
    if (TurnPage(message))
        return true;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        MoveFocus(GetFocus(), GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    // Enter presses the focused button, as in a dialog.
    if (message.message == WM_KEYDOWN && message.wParam == VK_RETURN) {
        const auto code = SendMessageW(message.hwnd, WM_GETDLGCODE, 0, 0);
        if (!Ours(message.hwnd) || (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) == 0)
            return false;
        SendMessageW(message.hwnd, BM_CLICK, 0, 0);
        return true;
    }
    return message.message == WM_SYSCHAR && PressButtonWithLetter(message.wParam);
}

bool KeyboardWalk::TurnPage(const MSG& message) {
    if (message.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0 || !turnPage_)
        return false;
    int step = 0;
    if (message.wParam == VK_TAB)
        step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
    else if (message.wParam == VK_NEXT)
        step = 1;
    else if (message.wParam == VK_PRIOR)
        step = -1;
    if (step == 0)
        return false;
    turnPage_(step);
    // A focus left on the page now hidden goes to the first control of the page shown.
    const HWND focus = GetFocus();
    if (focus == nullptr || !IsWindowVisible(focus))
        MoveFocus(nullptr, false);
    return true;
}

bool KeyboardWalk::PressButtonWithLetter(WPARAM character) {
    const auto letter = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(character)));
    for (const auto& [buttonLetter, button] : letters_) {
        // The letter of a button on the page not shown belongs to the page shown.
        if (buttonLetter == letter && IsWindowVisible(button) && IsWindowEnabled(button)) {
            SetFocus(button);
            SendMessageW(button, BM_CLICK, 0, 0);
            return true;
        }
    }
    return false;
}

void KeyboardWalk::MoveFocus(HWND from, bool backwards) {
    // The focus may sit in a part of a control (a list's field).
    auto at = order_.end();
    for (HWND window = from; window != nullptr && window != window_ && at == order_.end();
         window = GetParent(window))
        at = std::find(order_.begin(), order_.end(), window);
    const auto count = static_cast<std::ptrdiff_t>(order_.size());
    std::ptrdiff_t index = at == order_.end() ? (backwards ? 0 : -1) : at - order_.begin();
    for (std::ptrdiff_t step = 0; step < count; ++step) {
        index = (index + (backwards ? count - 1 : 1)) % count;
        HWND next = order_[static_cast<std::size_t>(index)];
        if (next != from && IsWindowVisible(next) && IsWindowEnabled(next)) {
            SetFocus(next);
            // A field reached with the keyboard is selected whole, as in a dialog.
            if (SendMessageW(next, WM_GETDLGCODE, 0, 0) & DLGC_HASSETSEL)
                SendMessageW(next, EM_SETSEL, 0, -1);
            return;
        }
    }
    SetFocus(window_);
}

void KeyboardWalk::LeaveBeforeDisabling(HWND control) {
    const HWND focus = GetFocus();
    if (focus == nullptr || (focus != control && !IsChild(control, focus)))
        return;
    // A series disables its buttons one after the other: the focus passes along them, and
    // belongs to the first.
    if (returnTo_ == nullptr || focus != movedTo_)
        returnTo_ = control;
    MoveFocus(control, false);
    movedTo_ = GetFocus();
}

void KeyboardWalk::ReturnAfterEnabling(HWND control) {
    if (control != returnTo_)
        return;
    if (GetFocus() == movedTo_ && IsWindowVisible(control))
        SetFocus(control);
    returnTo_ = movedTo_ = nullptr;
}

} // namespace zopra::win32
