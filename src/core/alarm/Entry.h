#pragma once

#include "core/clock/ClockState.h"
#include "core/Platform.h"

namespace vellomarin {

// Settei's click: composes the alarm time from the boxes Hou, Min and Sec, taking
// what is left empty from PANEL (the second as 0), and writes it into YOTEI. When
// no box is accepted the click steps the quick-set presets instead.
void Settei_Click(Platform& platform, ClockState& state);

} // namespace vellomarin
