#pragma once

#include <cstdint>
#include <ctime>

namespace vellomarin {

// The wall clock in ms since the epoch, rounded down, so that a wait computed from it
// as (instant - now) never ends before the instant.
int64_t WallClockMs();

// An instant in ms since the epoch as a timespec; before the epoch too.
timespec TimespecFromMs(int64_t ms);

// The local time's offset from the wall clock (ms) at wall instant `wallMs`, in the zone
// the C library last read (tzset() reads it afresh).
int64_t LocalOffsetMs(int64_t wallMs);

} // namespace vellomarin
