#pragma once

#include <cstdint>
#include <optional>

namespace vellomarin {

// When a periodic timer on a fixed phase of the wall clock ticks next: at every
// instant t with t mod period == offset (all in ms since the epoch), such as 1 ms after
// every second.
//
// It steers a plain repeating timer that counts on the monotonic clock: aimed once at
// the coming instant, the timer then repeats with the period and so holds the phase
// with nothing re-registered. Each tick reads the wall clock; a tick that is off its
// phase (the clock was set, the machine slept, the thread was busy) aims afresh. The
// window's timer and the fake platform's both run this, so the tests run the policy
// the program runs.
class TickPolicy {
public:
    TickPolicy(int64_t periodMs, int64_t offsetMs) : period_(periodMs), offset_(offsetMs) {}

    // How far past its instant, in whole ms of the wall clock, a tick may come and
    // still be on its phase: the first wait is rounded up to the millisecond, and
    // waking up takes a little more.
    static constexpr int64_t kOnPhaseMs = 2;

    // Starts the sequence afresh; returns the wait until its first tick, in whole ms
    // rounded up, so that a timer of millisecond resolution never wakes before it.
    int64_t start(int64_t wallNowMs);

    // Called on each tick, with the interval the repeating timer runs at now. Returns
    // the interval to restart it with from now, or nothing to let it run on.
    std::optional<int64_t> onTick(int64_t wallNowMs, int64_t runningIntervalMs);

    // The wall instant of the coming tick.
    int64_t target() const { return target_; }
    int64_t period() const { return period_; }

    // Moves on to the tick after the current one; a wall clock that jumped by a period
    // or more restarts the sequence from now. Returns the new target.
    int64_t next(int64_t wallNowMs);

private:
    int64_t firstAfter(int64_t wallNowMs) const;
    int64_t delayUntilTarget(int64_t wallNowMs) const;

    int64_t period_;
    int64_t offset_;
    int64_t target_ = 0;
};

} // namespace vellomarin
