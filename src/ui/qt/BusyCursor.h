#pragma once
// The busy cursor is Qt's override cursor, which Qt keeps as a stack, so the form's busy
// waits nest.

namespace zopra {

// The busy cursor over the program's windows from Push to the matching Pop.
void PushBusyCursor();
void PopBusyCursor();

// The ordinary arrow while a message box asks for a click in the middle of a busy wait (a
// device message during discovery), the busy cursor again after it. Nothing when no wait
// is going on.
class ArrowOverBusyCursor {
public:
    ArrowOverBusyCursor();
    ~ArrowOverBusyCursor();
    ArrowOverBusyCursor(const ArrowOverBusyCursor&) = delete;
    ArrowOverBusyCursor& operator=(const ArrowOverBusyCursor&) = delete;

private:
    bool FPushed = false;
};

} // namespace zopra
