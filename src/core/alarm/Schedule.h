#pragma once

#include "core/Platform.h"
#include "core/clock/ClockState.h"

namespace vellomarin {

// Writes a newly scheduled time (SetHour, SetMin, SetSec) into YOTEI. `shownWhenSet`
// is the clock time the scheduling read from PANEL: the watch counts from there, so a
// time equal to it rings at once, and any other time when the clock next reaches it.
void ShowScheduledTime(Platform& platform, ClockState& state, const TimeOfDay& shownWhenSet);

} // namespace vellomarin
