#include "PhasedTimer.h"

#include "qt/WallClock.h"

namespace vellomarin {

PhasedTimer::PhasedTimer(int64_t periodMs, int64_t offsetMs, QObject* parent)
    : QObject(parent), policy_(periodMs, offsetMs) {
    // Coarse timers may fire up to 5 % of the interval early or late.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PhasedTimer::fire);
}

void PhasedTimer::setEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (enabled)
        timer_.start(static_cast<int>(policy_.start(WallClockMs())));
    else
        timer_.stop();
}

void PhasedTimer::fire() {
    if (const auto restart = policy_.onTick(WallClockMs(), timer_.interval()))
        timer_.start(static_cast<int>(*restart));
    Q_EMIT timeout();
}

} // namespace vellomarin
