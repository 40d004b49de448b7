#pragma once

#include <QTimer>

#include <chrono>
#include <initializer_list>
#include <vector>

namespace zopra {

// The window's one-shot timer: a QTimer whose ticks can be held back for a while and then
// come as they would have come after a plain sleep of that while. The AAS update pauses two
// seconds with the window painting; a timer may not tick inside that pause, only after it.
//
// While held, a tick that comes due is kept instead of delivered. When the hold ends, a kept
// tick is delivered at the next turn of the event loop, unless the timer is started or
// stopped again before that turn (a plain sleep's overdue tick is lost the same way).
// start() and stop() hide QTimer's own, so that they can drop a kept tick: call them through
// a TOneShotTimer pointer.
class TOneShotTimer : public QTimer {
public:
    explicit TOneShotTimer(QObject* parent = nullptr);

    void start();
    void stop();

    void HoldTicks();
    void ReleaseTicks();
    bool TicksHeld() const { return FHeld; }
    // When the first tick came due during the hold (for releasing several in that order).
    std::chrono::steady_clock::time_point DueAt() const { return FDueAt; }

protected:
    void timerEvent(QTimerEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void DeliverKeptTick();

    bool FHeld = false;
    bool FDueWhileHeld = false; // a tick came due during the hold
    bool FKeptTick = false;     // ... and waits for the next turn of the event loop
    std::chrono::steady_clock::time_point FDueAt;
};

// Holds the ticks of the given timers while it lives; the ticks kept come in the order in
// which they came due.
class TimerTickHold {
public:
    explicit TimerTickHold(std::initializer_list<TOneShotTimer*> timers);
    ~TimerTickHold();
    TimerTickHold(const TimerTickHold&) = delete;
    TimerTickHold& operator=(const TimerTickHold&) = delete;

private:
    std::vector<TOneShotTimer*> FTimers;
};

} // namespace zopra
