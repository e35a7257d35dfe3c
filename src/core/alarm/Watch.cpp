#include "Watch.h"

#include "core/alarm/Presets.h"
#include "core/clock/TimeText.h"

namespace vellomarin {

namespace {

constexpr int32_t kHalfDay = kSecondsPerDay / 2;

int32_t forwardDistance(int32_t from, int32_t to) {
    return (to - from + kSecondsPerDay) % kSecondsPerDay;
}

// Hands back from ringing to watching. The watch starts afresh from the clock time
// of its next look, so a time passed while ringing does not ring again.
void resumeWatching(Platform& platform, ClockState& state) {
    platform.setTimerEnabled(TimerId::Alarm, false);
    state.CheckBefore = ClockState::kNoCheckBefore;
}

} // namespace

bool AlarmDue(int32_t before, int32_t now, int32_t scheduled) {
    if (scheduled == now)
        return true;
    const int32_t step = forwardDistance(before, now);
    if (step > kHalfDay)
        return false;
    const int32_t ahead = forwardDistance(before, scheduled);
    return ahead > 0 && ahead <= step;
}

void Check_Timer(Platform& platform, ClockState& state) {
    if (platform.timerEnabled(TimerId::Alarm))
        return; // ringing: the watch rests until the ringing ends
    const auto shown = ParseTimeText(platform.labelCaption(LabelId::PANEL));
    if (!shown)
        return;
    const int32_t now = SecondsOfDay(*shown);
    const int32_t before =
        state.CheckBefore == ClockState::kNoCheckBefore ? now : state.CheckBefore;
    state.CheckBefore = now;

    // YOTEI is empty or a text that a scheduling handler wrote.
    const auto scheduled = ParseTimeText(platform.labelCaption(LabelId::YOTEI));
    if (!scheduled || !AlarmDue(before, now, SecondsOfDay(*scheduled)))
        return;
    platform.setTimerEnabled(TimerId::Alarm, true);
    Alarm_Timer(platform, state);
}

void Alarm_Timer(Platform& platform, ClockState& state) {
    if (state.RingCount <= kRingTickLimit) {
        for (int beeps = 0; beeps < 2; ++beeps)
            platform.beep();
        state.RingCount = static_cast<int16_t>(state.RingCount + 1);
        return;
    }
    state.RingCount = 0;
    resumeWatching(platform, state);
    platform.setLabelCaption(LabelId::YOTEI, QString());
}

void Cancel_Click(Platform& platform, ClockState& state) {
    platform.setLabelCaption(LabelId::YOTEI, QString());
    state.PresetLevel = 0;
    ApplyPreset(platform, state, 0);
    resumeWatching(platform, state);
    state.RingCount = 0;
}

} // namespace vellomarin
