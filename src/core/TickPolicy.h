#pragma once

#include <cstdint>

namespace vellomarin {

// When a periodic timer on a fixed phase of the wall clock ticks: at every instant t
// with t mod period == offset (all in ms since the epoch), such as every whole second.
//
// The timer it describes counts on the wall clock itself, as an absolute timer that the
// kernel fires at each instant: armed once, it holds the phase with nothing re-armed
// while the clock runs and never wakes before its instant. When the clock is set or the
// machine resumes, the kernel cancels it (its read fails with ECANCELED): it ticks at
// once and is armed afresh. The window's timer (a timerfd) and the fake platform's
// model of it both follow this, so the tests run the rules the program runs.
class TickPolicy {
public:
    TickPolicy(int64_t periodMs, int64_t offsetMs) : period_(periodMs), offset_(offsetMs) {}

    // Why the timer woke the event thread.
    enum class Wake {
        Expired,  // one or more of its instants have passed
        ClockSet, // the wall clock was set (by hand, NTP, a resume); the timer is cancelled
        Nothing,  // nothing to read after all
    };
    struct Response {
        bool tick;  // run the tick's handler now
        bool rearm; // arm the timer afresh from the clock as it reads now
    };
    // A changed clock is shown at once, not at the next instant: the tick reads it anew.
    static constexpr Response respond(Wake wake) {
        return {wake != Wake::Nothing, wake == Wake::ClockSet};
    }

    // The instant to arm the timer at: the first tick instant after `wallNowMs`. The
    // tick at `wallNowMs` itself, if it is one, is the caller's to run.
    int64_t firstAfter(int64_t wallNowMs) const;
    int64_t period() const { return period_; }

private:
    int64_t period_;
    int64_t offset_;
};

} // namespace vellomarin
