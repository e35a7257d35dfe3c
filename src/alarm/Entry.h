#pragma once

#include "clock/ClockState.h"
#include "platform/Platform.h"

namespace vellomarin {

// Settei's click: composes the alarm time from the boxes Hou, Min and Sec, taking
// what is left empty from PANEL (the second as 0), and writes it into YOTEI. When
// no box is accepted the click steps the quick-set presets instead.
void Settei_Click(Platform& platform, ClockState& state);

// Writes a newly scheduled time into YOTEI. `shownWhenSet` is the clock time the
// scheduling read from PANEL: the watch counts from there, so a time equal to it
// rings at once, and any other time when the clock next reaches it.
void ShowScheduledTime(Platform& platform, ClockState& state, const TimeOfDay& shownWhenSet);

} // namespace vellomarin
