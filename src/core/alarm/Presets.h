#pragma once

#include "core/clock/ClockState.h"
#include "core/Platform.h"

#include <QString>

namespace vellomarin {

inline constexpr int16_t kTopPresetLevel = 5;

// One row of the quick-set presets: the captions show the minutes in full-width digits.
struct Preset {
    const char16_t* p5Caption;
    int16_t p5Minutes;
    const char16_t* p10Caption;
    int16_t p10Minutes;
};

// Level 0 (the start, and after Cancel) to level 5.
const Preset& PresetAt(int16_t level);

// Shows the row of `level` on P5 and P10 and records its minutes.
void ApplyPreset(Platform& platform, ClockState& state, int16_t level);

// Moves both quick-set buttons one level up, to at most level 5; no wrap-around.
void StepPresets(Platform& platform, ClockState& state);

// The quick-set buttons: an alarm P5Minutes (P10Minutes) after the time in PANEL.
void P5_Click(Platform& platform, ClockState& state);
void P10_Click(Platform& platform, ClockState& state);

} // namespace vellomarin
