#pragma once

#include <cstdint>

namespace vellomarin {

// Keeps a periodic timer on a fixed phase of the wall clock: ticks at every instant
// t with t mod period == offset (all in ms since the epoch). A tick that comes early
// or late by less than a period keeps its place in the sequence, so one early wake-up
// never doubles a tick and one late wake-up never skips one; when the wall clock jumps
// (suspend, a manual correction, a daylight-saving step) the sequence restarts from
// the next such instant after the new time.
class PhaseKeeper {
public:
    PhaseKeeper(int64_t periodMs, int64_t offsetMs) : period_(periodMs), offset_(offsetMs) {}

    // Starts the sequence afresh; returns the wall instant of the first tick.
    int64_t start(int64_t wallNowMs);

    // Called on each tick; returns the wall instant of the next one.
    int64_t next(int64_t wallNowMs);

    // The wait until the coming tick, in whole ms rounded up, so that a timer of
    // millisecond resolution never wakes before the instant.
    int64_t delayUntilTarget(int64_t wallNowMs) const;

    int64_t target() const { return target_; }
    int64_t period() const { return period_; }

private:
    int64_t firstAfter(int64_t wallNowMs) const;

    int64_t period_;
    int64_t offset_;
    int64_t target_ = 0;
};

} // namespace vellomarin
