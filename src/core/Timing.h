#pragma once

#include <cstdint>

namespace vellomarin {

// The window's timers, read by the window and by the fake platform alike.

// Jikoku rewrites PANEL this long after each wall-clock second begins: late enough
// that the second has begun by any reading of the clock, early enough to be seen at once.
inline constexpr int64_t kJikokuPeriodMs = 1000;
inline constexpr int64_t kJikokuPhaseMs = 1;

// Alarm beeps on this rhythm while ringing, counted from the moment the ringing starts.
inline constexpr int64_t kAlarmIntervalMs = 100;

} // namespace vellomarin
