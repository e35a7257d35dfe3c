#include "PhasedTimer.h"

#include "platform/WallClock.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace vellomarin {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
// Qt waits in whole ms and wakes up to about 1 ms late, so an aimed wait ends this
// much early, and fire() sleeps out the rest.
constexpr int64_t kAimEarlyMs = 2;
// The repeating timer keeps the lateness of the moment it is started at, so it starts
// from an aimed tick no later than this; a later one aims again, a few times at most.
constexpr int64_t kStartWithinNs = kNsPerMs / 2;
constexpr int kAimTries = 3;
// Later than this a tick is off its phase, and the timer aims afresh.
constexpr int64_t kOnPhaseNs = 3 * kNsPerMs;

void sleepUntilWallNs(int64_t instantNs) {
    const timespec until{static_cast<time_t>(instantNs / 1'000'000'000),
                         static_cast<long>(instantNs % 1'000'000'000)};
    while (clock_nanosleep(CLOCK_REALTIME, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

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
        aimTriesLeft_ = kAimTries;
        aim(now);
    } else {
        timer_.stop();
    }
}

void PhasedTimer::aim(int64_t wallNowMs) {
    aiming_ = true;
    timer_.start(
        static_cast<int>(std::max<int64_t>(0, phase_.delayUntilTarget(wallNowMs) - kAimEarlyMs)));
}

void PhasedTimer::fire() {
    const int64_t targetNs = phase_.target() * kNsPerMs;
    int64_t nowNs = WallClockNs();
    if (aiming_ && nowNs < targetNs && targetNs - nowNs <= (kAimEarlyMs + 1) * kNsPerMs) {
        // At most a few ms, once per aim, so that no tick comes before its instant.
        sleepUntilWallNs(targetNs);
        nowNs = WallClockNs();
    }
    const int64_t late = nowNs - targetNs;
    const int64_t now = nowNs / kNsPerMs;
    phase_.next(now);
    if (late < 0 || late > kOnPhaseNs) {
        aimTriesLeft_ = kAimTries;
        aim(now);
    } else if (aiming_) {
        if (late <= kStartWithinNs || aimTriesLeft_ == 0) {
            aiming_ = false;
            timer_.start(static_cast<int>(phase_.period()));
        } else {
            --aimTriesLeft_;
            aim(now);
        }
    }
    Q_EMIT timeout();
}

} // namespace vellomarin
