#include "form/OneShotTimer.h"

#include <algorithm>

namespace zopra {

TOneShotTimer::TOneShotTimer(IFormWindow& window, ControlId id)
    : window_(window), timer_(window.Timer(id)) {
    timer_.OnTick([this] { Tick(); });
}

TOneShotTimer::~TOneShotTimer() {
    timer_.OnTick(nullptr);
}

void TOneShotTimer::Start() {
    keptTick_ = false;
    dueWhileHeld_ = false;
    armed_ = true;
    timer_.Start();
}

void TOneShotTimer::Stop() {
    keptTick_ = false;
    dueWhileHeld_ = false;
    armed_ = false;
    timer_.Stop();
}

void TOneShotTimer::Tick() {
    if (!armed_)
        return; // stopped after the toolkit had already queued the tick
    if (held_) {
        // Only the first tick counts; the timer stays active until the hold ends.
        if (!dueWhileHeld_) {
            dueWhileHeld_ = true;
            dueAt_ = std::chrono::steady_clock::now();
        }
        return;
    }
    keptTick_ = false; // this is the tick itself
    armed_ = false;
    if (handler_)
        handler_();
}

void TOneShotTimer::ReleaseTicks() {
    held_ = false;
    if (dueWhileHeld_ && armed_) {
        keptTick_ = true;
        window_.PostToInterfaceThread([alive = std::weak_ptr<int>(alive_), this] {
            if (alive.lock())
                DeliverKeptTick();
        });
    }
    dueWhileHeld_ = false;
}

void TOneShotTimer::DeliverKeptTick() {
    if (!keptTick_ || !armed_)
        return;
    keptTick_ = false;
    armed_ = false;
    if (handler_)
        handler_();
}

TimerTickHold::TimerTickHold(std::initializer_list<TOneShotTimer*> timers) : timers_(timers) {
    for (TOneShotTimer* timer : timers_)
        timer->HoldTicks();
}

TimerTickHold::~TimerTickHold() {
    std::stable_sort(
        timers_.begin(), timers_.end(),
        [](const TOneShotTimer* a, const TOneShotTimer* b) { return a->DueAt() < b->DueAt(); });
    for (TOneShotTimer* timer : timers_)
        timer->ReleaseTicks();
}

} // namespace zopra
