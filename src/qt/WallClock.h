#pragma once

#include <cstdint>

namespace vellomarin {

// The wall clock in ms since the epoch, rounded down, so that a wait computed from it
// as (instant - now) never ends before the instant.
int64_t WallClockMs();

} // namespace vellomarin
