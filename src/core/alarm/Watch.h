#pragma once

#include "core/Platform.h"
#include "core/clock/ClockState.h"

#include <cstdint>

namespace vellomarin {

// The last RingCount at which an Alarm tick still beeps: a ringing beeps on 18,001
// ticks (RingCount 0 to 18000), about half an hour, and ends on the next.
inline constexpr int16_t kRingTickLimit = 18000;

// Whether the watch must ring for `scheduled` when the clock went from `before` to
// `now` (all seconds since midnight): the scheduled time equals now, or lies after
// before and at or before now, going forward round the dial. A forward step of more
// than 12 hours means the clock was set back, and then nothing was passed.
bool AlarmDue(int32_t before, int32_t now, int32_t scheduled);

// The watch's look, after every event while nothing rings: starts ringing when the
// clock in PANEL has reached the time in YOTEI. The first Alarm tick beeps at once;
// the timer's ticks follow on its rhythm.
void Check_Timer(Platform& platform, ClockState& state);

// Alarm's tick, every kAlarmIntervalMs while ringing: two beeps, until kRingTickLimit.
void Alarm_Timer(Platform& platform, ClockState& state);

// "解除": stops ringing, clears YOTEI and puts the quick-set buttons back to 3 and 5.
void Cancel_Click(Platform& platform, ClockState& state);

} // namespace vellomarin
