#include "Presets.h"

#include "core/alarm/Schedule.h"
#include "core/clock/TimeText.h"

#include <array>

namespace vellomarin {

namespace {

constexpr std::array<Preset, kTopPresetLevel + 1> kPresets{{
    {u"３分後", 3, u"５分後", 5},
    {u"１０分後", 10, u"１５分後", 15},
    {u"２０分後", 20, u"２５分後", 25},
    {u"３０分後", 30, u"３５分後", 35},
    {u"４０分後", 40, u"４５分後", 45},
    {u"５０分後", 50, u"５５分後", 55},
}};

void scheduleAhead(Platform& platform, ClockState& state, int16_t minutes) {
    const auto shown = ParseTimeText(platform.labelCaption(LabelId::PANEL));
    if (!shown)
        return;
    state.SetHour = shown->hour;
    state.SetMin = static_cast<int16_t>(shown->minute + minutes);
    state.SetSec = shown->second;
    // No preset exceeds 55 minutes, so one carry always suffices.
    if (state.SetMin > 59) {
        state.SetMin = static_cast<int16_t>(state.SetMin - 60);
        state.SetHour = static_cast<int16_t>(state.SetHour + 1);
        if (state.SetHour > 23)
            state.SetHour = static_cast<int16_t>(state.SetHour - 24);
    }
    ShowScheduledTime(platform, state, *shown);
}

} // namespace

const Preset& PresetAt(int16_t level) {
    return kPresets.at(static_cast<size_t>(level));
}

void ApplyPreset(Platform& platform, ClockState& state, int16_t level) {
    const Preset& row = PresetAt(level);
    platform.setButtonCaption(ButtonId::P5, QString::fromUtf16(row.p5Caption));
    state.P5Minutes = row.p5Minutes;
    platform.setButtonCaption(ButtonId::P10, QString::fromUtf16(row.p10Caption));
    state.P10Minutes = row.p10Minutes;
}

void StepPresets(Platform& platform, ClockState& state) {
    if (state.PresetLevel >= kTopPresetLevel || state.PresetLevel < 0)
        return;
    const auto next = static_cast<int16_t>(state.PresetLevel + 1);
    ApplyPreset(platform, state, next);
    state.PresetLevel = next;
}

void P5_Click(Platform& platform, ClockState& state) {
    scheduleAhead(platform, state, state.P5Minutes);
}

void P10_Click(Platform& platform, ClockState& state) {
    scheduleAhead(platform, state, state.P10Minutes);
}

} // namespace vellomarin
