#pragma once

#include <cstdint>

namespace vellomarin {

// The window's timers, read by the window and by the fake platform alike.

// Jikoku rewrites PANEL at this phase of each wall-clock second. Its timer counts on the
// wall clock and never fires before the instant by that clock, so the tick that comes
// reads the new second at the second itself: no margin is needed, and any would be lag
// (bench/README.md, "What moved the figures: the clock on a wall-clock timer").
inline constexpr int64_t kJikokuPeriodMs = 1000;
inline constexpr int64_t kJikokuPhaseMs = 0;

// The wake timer wakes a sleeping machine this long before the alarm: a laptop takes a
// few seconds to resume and its sound server one more to come back, and logind does not
// act on a closed lid for 30 s after a resume (HoldoffTimeoutSec), so the ringing's
// block on sleep is taken well before the lid could put the machine back to sleep.
inline constexpr int64_t kWakeLeadMs = 10'000;

// Alarm beeps on this rhythm while ringing, counted from the moment the ringing starts.
inline constexpr int64_t kAlarmIntervalMs = 100;

} // namespace vellomarin
