#pragma once
// What the user does while the window waits for the cutter. Whatever would start something
// new is dropped, not run after the wait: keys, presses, clicks that begin during the wait. A
// mouse button's release whose press came before the wait is kept and handed on once the wait
// is over, so that the control that took the press sees its click complete: the connection
// list, which opens with a wait on the press of its arrow, would otherwise stay half-way
// through that click, and the next click on an entry would only close it.
#include <windows.h>

#include <vector>

namespace zopra::win32 {

class InputDuringWait {
public:
    // Every message the event loop takes, before it is handled: which buttons are down.
    void Note(const MSG& message);
    // Takes every kind of user input out of the queue. A close asked for (the close box,
    // Alt+F4) is posted to `window` as WM_CLOSE, which ends the wait.
    void Drop(HWND window);
    // The wait is over: the releases kept reach their controls.
    void HandOnKeptReleases();

private:
    // The mouse buttons pressed and not yet released, as bits of the button's number.
    unsigned down_ = 0;
    std::vector<MSG> kept_;
};

// Dispatches what is pending now except user input and timer ticks: a tick that comes due
// during a wait stays in the queue and comes from the event loop after it, as after a plain
// sleep. False when the program was asked to quit (WM_QUIT is posted again for the loop).
bool DispatchPendingExceptInputAndTicks();

} // namespace zopra::win32
