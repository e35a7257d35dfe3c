#pragma once

#include <cstdint>

namespace vellomarin {

// The wall clock in ns since the epoch.
int64_t WallClockNs();

// The wall clock in ms since the epoch, rounded down, so that a wait computed from it
// as (instant - now) never ends before the instant.
inline int64_t WallClockMs() {
    return WallClockNs() / 1'000'000;
}

} // namespace vellomarin
