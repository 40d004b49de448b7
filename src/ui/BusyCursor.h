#pragma once
// The busy cursor over the program's windows while the window waits without taking user
// input (a reply wait, the fixed pauses, discovery's probing), put back when the wait ends,
// also when it ends with an error. Guards nest: Qt keeps the override cursors as a stack.

namespace zopra {

class BusyCursor {
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

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
