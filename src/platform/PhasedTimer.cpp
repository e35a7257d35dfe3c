#include "PhasedTimer.h"

#include "platform/WallClock.h"

namespace vellomarin {

PhasedTimer::PhasedTimer(int periodMs, int offsetMs, QObject* parent)
    : QObject(parent), phase_(periodMs, offsetMs) {
    timer_.setSingleShot(true);
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
        arm(now);
    } else {
        timer_.stop();
    }
}

void PhasedTimer::arm(int64_t wallNowMs) {
    timer_.start(static_cast<int>(phase_.delayUntilTarget(wallNowMs)));
}

void PhasedTimer::fire() {
    const int64_t now = WallClockMs();
    phase_.next(now);
    arm(now);
    Q_EMIT timeout();
}

} // namespace vellomarin
