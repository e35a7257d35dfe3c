#pragma once

#include "core/Platform.h"
#include "core/clock/ClockState.h"

namespace vellomarin {

// The window's events. The window and the fake platform both dispatch through
// HandleEvent, so what an event runs is written once.
enum class Event { Load, JikokuTick, AlarmTick, SetteiClick, P5Click, P10Click, CancelClick };

// Runs the event's handler, then lets the watch look (Check_Timer): PANEL, YOTEI and
// whether a ringing goes on change only in events, so the watch sees every change at
// once and has no timer of its own.
void HandleEvent(Event event, Platform& platform, ClockState& state);

} // namespace vellomarin
