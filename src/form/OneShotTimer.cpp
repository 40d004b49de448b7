#include "form/OneShotTimer.h"

#include <algorithm>

namespace zopra {

TOneShotTimer::TOneShotTimer(IFormWindow& window, ControlId id)
    : FWindow(window), FTimer(window.Timer(id)) {
    FTimer.OnTick([this] { Tick(); });
}

TOneShotTimer::~TOneShotTimer() {
    FTimer.OnTick(nullptr);
}

void TOneShotTimer::Start() {
    FKeptTick = false;
    FDueWhileHeld = false;
    FArmed = true;
    FTimer.Start();
}

void TOneShotTimer::Stop() {
    FKeptTick = false;
    FDueWhileHeld = false;
    FArmed = false;
    FTimer.Stop();
}

void TOneShotTimer::Tick() {
    if (!FArmed)
        return; // stopped after the toolkit had already queued the tick
    if (FHeld) {
        // Only the first tick counts; the timer stays active until the hold ends.
        if (!FDueWhileHeld) {
            FDueWhileHeld = true;
            FDueAt = std::chrono::steady_clock::now();
        }
        return;
    }
    FKeptTick = false; // this is the tick itself
    FArmed = false;
    if (FHandler)
        FHandler();
}

void TOneShotTimer::ReleaseTicks() {
    FHeld = false;
    if (FDueWhileHeld && FArmed) {
        FKeptTick = true;
        FWindow.PostToInterfaceThread([alive = std::weak_ptr<int>(FAlive), this] {
            if (alive.lock())
                DeliverKeptTick();
        });
    }
    FDueWhileHeld = false;
}

void TOneShotTimer::DeliverKeptTick() {
    if (!FKeptTick || !FArmed)
        return;
    FKeptTick = false;
    FArmed = false;
    if (FHandler)
        FHandler();
}

TimerTickHold::TimerTickHold(std::initializer_list<TOneShotTimer*> timers) : FTimers(timers) {
    for (TOneShotTimer* timer : FTimers)
        timer->HoldTicks();
}

TimerTickHold::~TimerTickHold() {
    std::stable_sort(
        FTimers.begin(), FTimers.end(),
        [](const TOneShotTimer* a, const TOneShotTimer* b) { return a->DueAt() < b->DueAt(); });
    for (TOneShotTimer* timer : FTimers)
        timer->ReleaseTicks();
}

} // namespace zopra
