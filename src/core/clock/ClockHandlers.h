#pragma once

#include "core/clock/ClockState.h"
#include "core/Platform.h"

namespace vellomarin {

// The window's load event: start values, and the first time into PANEL.
void Form_Load(Platform& platform, ClockState& state);

// Jikoku's tick, once a second: the current time into PANEL.
void Jikoku_Timer(Platform& platform, ClockState& state);

} // namespace vellomarin
