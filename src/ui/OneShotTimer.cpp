#include "ui/OneShotTimer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimerEvent>

#include <algorithm>

namespace zopra {

namespace {

// Posted to a timer when its hold ends with a tick kept.
const QEvent::Type KeptTickEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TOneShotTimer::TOneShotTimer(QObject* parent) : QTimer(parent) {
    setSingleShot(true);
}

void TOneShotTimer::start() {
    FKeptTick = false;
    FDueWhileHeld = false;
    QTimer::start();
}

void TOneShotTimer::stop() {
    FKeptTick = false;
    FDueWhileHeld = false;
    QTimer::stop();
}

void TOneShotTimer::HoldTicks() {
    FHeld = true;
}

void TOneShotTimer::ReleaseTicks() {
    FHeld = false;
    if (FDueWhileHeld && isActive()) {
        FKeptTick = true;
        QCoreApplication::postEvent(this, new QEvent(KeptTickEvent));
    }
    FDueWhileHeld = false;
}

void TOneShotTimer::timerEvent(QTimerEvent* event) {
    if (FHeld) {
        // The system timer stays armed and keeps coming; it is only the first that counts.
        if (event->timerId() == timerId() && !FDueWhileHeld) {
            FDueWhileHeld = true;
            FDueAt = std::chrono::steady_clock::now();
        }
        return;
    }
    FKeptTick = false; // this is the tick itself
    QTimer::timerEvent(event);
}

void TOneShotTimer::customEvent(QEvent* event) {
    if (event->type() == KeptTickEvent)
        DeliverKeptTick();
    else
        QTimer::customEvent(event);
}

void TOneShotTimer::DeliverKeptTick() {
    if (!FKeptTick || !isActive())
        return;
    FKeptTick = false;
    // QTimer stops a single-shot timer and emits timeout() for an event of its own timer.
    QTimerEvent tick(timerId());
    QTimer::timerEvent(&tick);
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
