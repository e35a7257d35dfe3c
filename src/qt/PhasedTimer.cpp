#include "PhasedTimer.h"

#include "qt/WallClock.h"

namespace vellomarin {

namespace {
// How far past its instant, on the wall clock in whole ms, a tick may come and still
// be on its phase: the first wait is rounded up to the millisecond, and waking up
// takes a little more.
constexpr int64_t kOnPhaseMs = 2;
} // namespace

PhasedTimer::PhasedTimer(int periodMs, int offsetMs, QObject* parent)
    : QObject(parent), phase_(periodMs, offsetMs) {
    // Coarse timers may fire up to 5 % of the interval early or late.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PhasedTimer::fire);
}

void PhasedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled) {
        const int64_t now = WallClockMs();
        phase_.start(now);
        aim(now);
    } else {
        timer_.stop();
    }
}

void PhasedTimer::aim(int64_t wallNowMs) {
    // A wait to the coming instant; the tick there sets the period.
    timer_.start(static_cast<int>(phase_.delayUntilTarget(wallNowMs)));
}

void PhasedTimer::fire() {
    const int64_t now = WallClockMs();
    const int64_t late = now - phase_.target();
    phase_.next(now);
    if (late < 0 || late > kOnPhaseMs)
        aim(now);
    else if (timer_.interval() != phase_.period())
        timer_.start(static_cast<int>(phase_.period()));
    Q_EMIT timeout();
}

} // namespace vellomarin
