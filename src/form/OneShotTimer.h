#pragma once
// The window's one-shot timer over the toolkit's: a tick that comes due can be held back for a
// while and then comes as it would have come after a plain sleep of that while. The AAS update
// pauses two seconds with the window painting; a timer may not tick inside that pause, only
// after it.
//
// While held, a tick that comes due is kept instead of delivered, and the timer stays active.
// When the hold ends, a kept tick is delivered at the next turn of the event loop, unless the
// timer is started or stopped again before that turn (a plain sleep's overdue tick is lost
// the same way).
#include "form/Controls.h"

#include <chrono>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace zopra {

class TOneShotTimer {
public:
    TOneShotTimer(IFormWindow& window, ControlId id);
    ~TOneShotTimer();

    TOneShotTimer(const TOneShotTimer&) = delete;
    TOneShotTimer& operator=(const TOneShotTimer&) = delete;

    void Start();
    void Stop();
    // Started, and its tick not yet delivered (also while a held tick waits).
    bool Active() const { return armed_; }
    void OnTick(std::function<void()> handler) { handler_ = std::move(handler); }

    void HoldTicks() { held_ = true; }
    void ReleaseTicks();
    bool TicksHeld() const { return held_; }
    // When the first tick came due during the hold (for releasing several in that order).
    std::chrono::steady_clock::time_point DueAt() const { return dueAt_; }

private:
    void Tick();
    void DeliverKeptTick();

    IFormWindow& window_;
    ITimer& timer_;
    std::function<void()> handler_;
    bool armed_ = false;
    bool held_ = false;
    bool dueWhileHeld_ = false; // a tick came due during the hold
    bool keptTick_ = false;     // ... and waits for the next turn of the event loop
    std::chrono::steady_clock::time_point dueAt_;
    // A kept tick's delivery is posted; it must not reach a timer that is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
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
    std::vector<TOneShotTimer*> timers_;
};

} // namespace zopra
