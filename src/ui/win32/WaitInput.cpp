#include "ui/win32/WaitInput.h"

namespace zopra::win32 {

namespace {

// Every class of input. The message ranges, not PM_QS_INPUT: with the project's _WIN32_WINNT,
// QS_INPUT leaves out touch and pointer input, and Windows 7 refuses the flags that name them.
struct MessageRange {
    UINT first;
    UINT last;
};
constexpr UINT kWmInput = 0x00FF;       // raw input
constexpr UINT kWmGesture = 0x0119;     // WM_GESTURE, Windows 7
constexpr UINT kWmTouchFirst = 0x0240;  // WM_TOUCH, Windows 7, then the pointer messages
constexpr UINT kWmPointerLast = 0x024F; // (pen, touch, touchpad), Windows 8: to WM_POINTERHWHEEL
constexpr MessageRange kInputRanges[] = {
    {WM_KEYFIRST, WM_KEYLAST},            // keys and characters, Alt keys included
    {WM_MOUSEFIRST, WM_MOUSELAST},        // clicks, moves and the wheel in the client area
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK}, // clicks on the frame
    {kWmInput, kWmInput},
    {kWmGesture, kWmGesture},
    {kWmTouchFirst, kWmPointerLast},
};
// Every message but the timers' ticks (the last registered message is 0xFFFF).
constexpr MessageRange kAllButTicks[] = {{0, WM_TIMER - 1}, {WM_TIMER + 1, 0xFFFF}};

// A close asked for with the mouse on the close box or with Alt+F4.
bool AsksToClose(const MSG& message) {
    return (message.message == WM_NCLBUTTONDOWN && message.wParam == HTCLOSE) ||
           (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4);
}

// The button a press (+1) or release (-1) in the client area is of, as a bit; 0 for other
// messages.
struct ButtonChange {
    unsigned button;
    int change;
};
ButtonChange ButtonOf(UINT message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        return {1u, +1};
    case WM_LBUTTONUP:
        return {1u, -1};
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
        return {2u, +1};
    case WM_RBUTTONUP:
        return {2u, -1};
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
        return {4u, +1};
    case WM_MBUTTONUP:
        return {4u, -1};
    default:
        return {0u, 0};
    }
}

} // namespace

void InputDuringWait::Note(const MSG& message) {
    const ButtonChange change = ButtonOf(message.message);
    if (change.change > 0)
        down_ |= change.button;
    else if (change.change < 0)
        down_ &= ~change.button;
}

void InputDuringWait::Drop(HWND window) {
    MSG message;
    for (const MessageRange& range : kInputRanges)
        while (PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) {
            const ButtonChange change = ButtonOf(message.message);
            if (window != nullptr && AsksToClose(message)) {
                PostMessageW(window, WM_CLOSE, 0, 0);
            } else if (change.change < 0 && (down_ & change.button) != 0) {
                down_ &= ~change.button;
                kept_.push_back(message);
            }
        }
}

void InputDuringWait::HandOnKeptReleases() {
    std::vector<MSG> kept;
    kept.swap(kept_);
    for (const MSG& message : kept)
        if (IsWindow(message.hwnd))
            DispatchMessageW(&message);
}

bool DispatchPendingExceptInputAndTicks() {
    constexpr UINT kinds = PM_REMOVE | PM_QS_PAINT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    MSG message;
    for (bool found = true; found;) {
        found = false;
        for (const MessageRange& range : kAllButTicks) {
            if (!PeekMessageW(&message, nullptr, range.first, range.last, kinds))
                continue;
            if (message.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(message.wParam)); // for the event loop
                return false;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
            found = true;
        }
    }
    return true;
}

} // namespace zopra::win32
